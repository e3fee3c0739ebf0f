#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

// One fuzz target is one function over a byte string. Built with libFuzzer it becomes the
// program's LLVMFuzzerTestOneInput; in the test build every target registers under its name, so
// that the test replays each file of corpus/<name>/ through it.
namespace Fuzz {

using Target = int (*)(const uint8_t* data, size_t size);
std::map<std::string, Target>& targets();

struct Registration {
  Registration(const char* name, Target target) { targets()[name] = target; }
};

// A broken promise of the code under test: libFuzzer's build aborts, so the input is kept as a
// crash; the test build throws, so the replaying test fails naming the file.
[[noreturn]] void fail(const QString& what);
inline void require(bool ok, const char* what) {
  if (!ok) fail(QString::fromUtf8(what));
}

// A folder of this process for the files the targets write and read, made on first use.
QString scratch();

// The input cut into pieces: a byte of choice, then the rest.
struct Input {
  const uint8_t* p;
  size_t n;
  uint8_t byte() {
    if (!n) return 0;
    --n;
    return *p++;
  }
  QByteArray take(size_t len) {
    len = std::min(len, n);
    QByteArray b(reinterpret_cast<const char*>(p), qsizetype(len));
    p += len;
    n -= len;
    return b;
  }
  QByteArray rest() { return take(n); }
};

}  // namespace Fuzz

#ifdef ZEL_LIBFUZZER
#define ZEL_FUZZ_TARGET(name)                                                                             \
  static int fuzzOne(const uint8_t* data, size_t size);                                                   \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOne(data, size); } \
  static int fuzzOne(const uint8_t* data, size_t size)
#else
#define ZEL_FUZZ_TARGET(name)                                              \
  static int fuzzOne(const uint8_t* data, size_t size);                    \
  static const Fuzz::Registration fuzzRegistration_##name(#name, fuzzOne); \
  static int fuzzOne(const uint8_t* data, size_t size)
#endif
