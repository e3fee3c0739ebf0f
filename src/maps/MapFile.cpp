#include "maps/MapFile.h"

#include <QByteArray>
#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QSaveFile>

namespace {

const QByteArray kMagic("ZELMAP\x1a", 7);
constexpr quint32 kVersion = 1;
constexpr int kHashLen = 20;  // SHA-1

enum CellFlags : quint8 { HasBack = 1, HasFore = 2 };

QString damaged(const QString& path) {
  return QStringLiteral("The map file %1 is damaged or is not a map file of this program. The map is "
                        "shown empty; the file is left as it is.")
      .arg(path);
}

}  // namespace

namespace MapFile {

QString fileName(const QString& dataPath, qint32 cemeteryId) {
  return dataPath + QStringLiteral("zelmap") + QString::number(cemeteryId) + QStringLiteral(".dat");
}

bool save(const QString& path, const MapSheetData& sheet, QString* error) {
  QByteArray body;
  body.reserve(int(sheet.cells.size()) * 24 + 64);
  {
    QBuffer buf(&body);
    buf.open(QIODevice::WriteOnly);
    QDataStream out(&buf);
    out.setVersion(QDataStream::Qt_6_0);
    out.writeRawData(kMagic.constData(), kMagic.size());
    out << kVersion << sheet.maxRows << sheet.maxCols << sheet.defaultBack << sheet.defaultFore
        << quint32(sheet.cells.size());
    for (const auto& c : sheet.cells) {
      const quint8 flags = (c.hasBack ? HasBack : 0) | (c.hasFore ? HasFore : 0);
      out << c.row << c.col << flags << c.text;
      if (c.hasBack) out << c.back;
      if (c.hasFore) out << c.fore;
    }
  }
  body.append(QCryptographicHash::hash(body, QCryptographicHash::Sha1));

  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size() || !file.commit()) {
    if (error) *error = QStringLiteral("The map could not be saved to %1: %2").arg(path, file.errorString());
    return false;
  }
  return true;
}

bool load(const QString& path, MapSheetData& sheet, QString* error) {
  auto fail = [&](const QString& msg) {
    if (error) *error = msg;
    return false;
  };
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return fail(QStringLiteral("The map file %1 could not be read: %2").arg(path, file.errorString()));
  const QByteArray all = file.readAll();
  file.close();
  if (all.size() < kMagic.size() + kHashLen || !all.startsWith(kMagic)) return fail(damaged(path));
  const QByteArray body = all.left(all.size() - kHashLen);
  if (QCryptographicHash::hash(body, QCryptographicHash::Sha1) != all.right(kHashLen)) return fail(damaged(path));

  QDataStream in(body);
  in.setVersion(QDataStream::Qt_6_0);
  in.skipRawData(kMagic.size());
  quint32 version = 0, count = 0;
  MapSheetData read;
  in >> version;
  if (version != kVersion)
    return fail(QStringLiteral("The map file %1 was written by a newer version of this program and cannot be "
                               "read. The map is shown empty; the file is left as it is.")
                    .arg(path));
  in >> read.maxRows >> read.maxCols >> read.defaultBack >> read.defaultFore >> count;
  if (in.status() != QDataStream::Ok || read.maxRows < 0 || read.maxCols < 0 || read.maxRows > kMaxSize ||
      read.maxCols > kMaxSize || qint64(count) > (qint64(read.maxRows) + 1) * (qint64(read.maxCols) + 1))
    return fail(damaged(path));
  read.cells.resize(count);
  for (auto& c : read.cells) {
    quint8 flags = 0;
    in >> c.row >> c.col >> flags >> c.text;
    c.hasBack = flags & HasBack;
    c.hasFore = flags & HasFore;
    if (c.hasBack) in >> c.back;
    if (c.hasFore) in >> c.fore;
    if (in.status() != QDataStream::Ok || c.row < 0 || c.col < 0 || c.row > read.maxRows || c.col > read.maxCols ||
        (flags & ~(HasBack | HasFore)))
      return fail(damaged(path));
  }
  if (!in.atEnd()) return fail(damaged(path));
  sheet = std::move(read);
  return true;
}

}  // namespace MapFile
