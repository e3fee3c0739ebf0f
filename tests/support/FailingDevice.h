#pragma once

#include <QByteArray>
#include <QIODevice>
#include <algorithm>

// A device that takes limit bytes and then fails the way a full disk does: a write that does not
// fit takes what fits, and the next one fails with the disk's reason.
class FailingDevice : public QIODevice {
 public:
  explicit FailingDevice(qint64 limit) : limit_(limit) { open(QIODevice::WriteOnly); }
  const QByteArray& written() const { return written_; }

 protected:
  qint64 writeData(const char* data, qint64 len) override {
    const qint64 room = limit_ - written_.size();
    if (room <= 0) {
      setErrorString(QStringLiteral("No space left on device"));
      return -1;
    }
    const qint64 n = std::min(room, len);
    written_.append(data, n);
    return n;
  }
  qint64 readData(char*, qint64) override { return -1; }

 private:
  qint64 limit_;
  QByteArray written_;
};
