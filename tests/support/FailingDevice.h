#pragma once

#include <sys/resource.h>

#include <QByteArray>
#include <QIODevice>
#include <algorithm>
#include <csignal>
#include <cstring>

// A device that holds limit bytes and then fails the way a full disk does: a write that does not
// fit takes what fits, and the next one fails with the disk's reason. It can seek, so that writers
// that go back to complete a header (zip archives) work on it; bytes written over take no room.
class FailingDevice : public QIODevice {
 public:
  explicit FailingDevice(qint64 limit) : limit_(limit) { open(QIODevice::WriteOnly); }
  const QByteArray& written() const { return written_; }
  qint64 size() const override { return written_.size(); }

 protected:
  qint64 writeData(const char* data, qint64 len) override {
    const qint64 at = pos();
    const qint64 n = std::min(len, limit_ - at);
    if (n <= 0) {
      setErrorString(QStringLiteral("No space left on device"));
      return -1;
    }
    if (at + n > written_.size()) written_.resize(qsizetype(at + n));
    std::memcpy(written_.data() + at, data, size_t(n));
    return n;
  }
  qint64 readData(char*, qint64) override { return -1; }

 private:
  qint64 limit_;
  QByteArray written_;
};

// While it lives, no file of this process grows beyond bytes: a write past that fails with "File
// too large", the way a disk that fills up there fails. Pipes and what was written before are not
// touched.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(qint64 bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{rlim_t(bytes), old_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, SIG_DFL);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
};
