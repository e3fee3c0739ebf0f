#include "core/maps/MapStore.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "core/store/Connection.h"
#include "core/store/DbError.h"
#include "core/store/Statement.h"

namespace MapStore {

namespace {

bool isMapName(const QString& name) {
  static const QRegularExpression re(QStringLiteral("^zelmap[0-9]+\\.dat$"));
  return re.match(name).hasMatch();
}

// Runs fn in a transaction of its own: all of it or nothing.
template <typename Fn>
auto inTransaction(Connection& cn, Fn&& fn) {
  cn.beginTransaction();
  try {
    auto result = fn();
    if (cn.inTransaction()) cn.commit();
    return result;
  } catch (...) {
    cn.rollback();
    throw;
  }
}

using Reader =
    std::function<void(QIODevice&, const QString&, const std::function<void(const MapFile::Header&)>&,
                       const std::function<void(MapCell&&)>&)>;
using FileReader = std::function<void(const QString&, const std::function<void(const MapFile::Header&)>&,
                                      const std::function<void(MapCell&&)>&)>;

qint64 readWith(const Reader& fromBytes, const FileReader& fromFile, Connection& cn, const QString& dataPath,
                const QString& name, const std::function<void(const MapFile::Header&)>& onHeader,
                const std::function<void(MapCell&&)>& onCell) {
  if (!cn.isServer()) {
    const QString path = dataPath + name;
    if (!QFile::exists(path)) return 0;
    fromFile(path, onHeader, onCell);
    return 1;
  }
  std::optional<Stored> stored = fetch(cn, dataPath, name);
  if (!stored) return 0;
  QBuffer in(&stored->bytes);
  in.open(QIODevice::ReadOnly);
  fromBytes(in, shownName(cn, dataPath, name), onHeader, onCell);
  return stored->version;
}

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  if (!f.exists()) return {};
  if (!f.open(QIODevice::ReadOnly))
    throw DbError(DbError::CantOpen, 0,
                  QStringLiteral("The map file %1 cannot be read: %2.")
                      .arg(QDir::toNativeSeparators(path), f.errorString()));
  return f.readAll();
}

}  // namespace

QString nameOf(qint32 cemeteryId) {
  return QStringLiteral("zelmap") + QString::number(cemeteryId) + QStringLiteral(".dat");
}

QString shownName(Connection& cn, const QString& dataPath, const QString& name) {
  return cn.isServer() ? name + QStringLiteral(" on the server") : dataPath + name;
}

QStringList names(Connection& cn, const QString& dataPath) {
  QStringList out;
  if (cn.isServer()) {
    Statement st(cn, "select name from zelmaps order by name");
    while (st.next()) out << st.string(0);
  } else {
    out = QDir(dataPath).entryList({QStringLiteral("zelmap*.dat")}, QDir::Files, QDir::Name);
  }
  out.removeIf([](const QString& n) { return !isMapName(n); });
  return out;
}

bool exists(Connection& cn, const QString& dataPath, const QString& name) {
  if (!cn.isServer()) return QFile::exists(dataPath + name);
  Statement st(cn, "select 1 from zelmaps where name = ?");
  const QByteArray n = name.toUtf8();
  st.bindText(1, n);
  return st.next();
}

std::optional<Stored> fetch(Connection& cn, const QString& dataPath, const QString& name) {
  if (!cn.isServer()) {
    if (!QFile::exists(dataPath + name)) return std::nullopt;
    return Stored{fileBytes(dataPath + name), 1};
  }
  Statement st(cn, "select bytes, version from zelmaps where name = ?");
  const QByteArray n = name.toUtf8();
  st.bindText(1, n);
  if (!st.next()) return std::nullopt;
  return Stored{st.blob(0).toByteArray(), st.int64(1)};
}

qint64 load(Connection& cn, const QString& dataPath, const QString& name,
            const std::function<void(const MapFile::Header&)>& onHeader,
            const std::function<void(MapCell&&)>& onCell) {
  return readWith(
      [](QIODevice& in, const QString& n, const auto& h, const auto& c) { MapFile::load(in, n, h, c); },
      [](const QString& path, const auto& h, const auto& c) { MapFile::load(path, h, c); }, cn, dataPath,
      name, onHeader, onCell);
}

qint64 read(Connection& cn, const QString& dataPath, const QString& name,
            const std::function<void(const MapFile::Header&)>& onHeader,
            const std::function<void(MapCell&&)>& onCell, MapFile::Text text) {
  return readWith(
      [text](QIODevice& in, const QString& n, const auto& h, const auto& c) {
        MapFile::read(in, n, h, c, text);
      },
      [text](const QString& path, const auto& h, const auto& c) { MapFile::read(path, h, c, text); }, cn,
      dataPath, name, onHeader, onCell);
}

Saved save(Connection& cn, const QString& dataPath, const QString& name, const MapFile::Header& header,
           const MapFile::CellWriter& cells, qint64 version, const AfterSave& then) {
  if (!cn.isServer()) {
    const QString path = dataPath + name;
    const QByteArray before = then ? fileBytes(path) : QByteArray();
    MapFile::save(path, header, cells);
    if (then) then(before, fileBytes(path));
    return {true, 1};
  }
  // The whole map is made first: a map that cannot be written never reaches the transaction.
  QByteArray bytes;
  {
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    try {
      MapFile::write(out, header, cells);
    } catch (const DbError& e) {
      throw DbError(DbError::Code(e.code()), 0,
                    QStringLiteral("The map could not be saved to %1: %2.")
                        .arg(shownName(cn, dataPath, name), e.description()));
    }
  }
  const QByteArray n = name.toUtf8();
  return inTransaction(cn, [&] {
    QByteArray before;
    if (then) {
      Statement st(cn, "select bytes from zelmaps where name = ?");
      st.bindText(1, n);
      if (st.next()) before = st.blob(0).toByteArray();
    }
    Saved saved;
    {
      // Written only over the version the editor read: a save by another computer since then, or a
      // removal, leaves no row to change.
      Statement st(cn, version > 0 ? QByteArrayView("update zelmaps set bytes = ?, version = version + 1 "
                                                    "where name = ? and version = ? returning version")
                                   : QByteArrayView("insert into zelmaps (bytes, name) values (?, ?) on "
                                                    "conflict (name) do nothing returning version"));
      st.bindBlob(1, bytes);
      st.bindText(2, n);
      if (version > 0) st.bind(3, version);
      if (!st.next()) {
        cn.rollback();
        return saved;
      }
      saved = {true, st.int64(0)};
    }
    if (then) then(before, bytes);
    return saved;
  });
}

bool rename(Connection& cn, const QString& dataPath, const QString& from, const QString& to, qint64 version) {
  if (!cn.isServer()) {
    QFile f(dataPath + from);
    if (!f.rename(dataPath + to))
      throw DbError(DbError::IoErr, 0,
                    QStringLiteral("The map file %1 could not be kept as %2: %3.")
                        .arg(QDir::toNativeSeparators(dataPath + from),
                             QDir::toNativeSeparators(dataPath + to), f.errorString()));
    return true;
  }
  Statement st(cn, "update zelmaps set name = ? where name = ? and version = ? returning version");
  const QByteArray t = to.toUtf8(), f = from.toUtf8();
  st.bindText(1, t);
  st.bindText(2, f);
  st.bind(3, version);
  return st.next();
}

}  // namespace MapStore
