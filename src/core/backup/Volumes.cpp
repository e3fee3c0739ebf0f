#include "core/backup/Volumes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QStorageInfo>
#include <algorithm>

namespace {

bool isUnder(const QString& path, const QString& root) {
  if (root == QLatin1String("/")) return path.startsWith(QLatin1Char('/'));
  return path == root || path.startsWith(root + QLatin1Char('/'));
}

// The kernel's removable flag of the disk that holds a device ("/dev/sdb1" -> sdb), or a mount
// point where the desktop mounts removable media.
bool isRemovable(const QStorageInfo& v) {
  const QString root = v.rootPath();
  if (root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/run/media/"))) return true;
  const QString device = QString::fromLocal8Bit(v.device());
  if (!device.startsWith(QLatin1String("/dev/"))) return false;
  const QString block =
      QFileInfo(QStringLiteral("/sys/class/block/") + QFileInfo(device).fileName()).canonicalFilePath();
  if (block.isEmpty()) return false;
  for (const QString& flag :
       {block + QStringLiteral("/removable"), block + QStringLiteral("/../removable")}) {
    QFile f(flag);
    if (f.open(QIODevice::ReadOnly)) return f.readAll().trimmed() == "1";
  }
  return false;
}

bool isSystemPlace(const QString& root) {
  for (const char* place : {"/proc", "/sys", "/dev", "/run", "/boot", "/snap", "/var/lib"})
    if (isUnder(root, QLatin1String(place)) && !isUnder(root, QStringLiteral("/run/media"))) return true;
  return false;
}

}  // namespace

namespace Volumes {

QString Volume::text() const {
  return name == rootPath ? name : name + QStringLiteral(" (") + rootPath + QLatin1Char(')');
}

QString desktopName(const QString& label, const QString& rootPath, qint64 bytesTotal) {
  if (!label.isEmpty()) return label;
  if (rootPath == QLatin1String("/")) return QStringLiteral("File System");
  if (bytesTotal <= 0) return rootPath;
  return QLocale().formattedDataSize(bytesTotal, 0, QLocale::DataSizeSIFormat) + QStringLiteral(" Volume");
}

void arrange(std::vector<Volume>& volumes) {
  std::stable_partition(volumes.begin(), volumes.end(), [](const Volume& v) { return v.removable; });
}

int indexOf(const std::vector<Volume>& volumes, const QString& path) {
  int best = -1;
  for (int i = 0; i < int(volumes.size()); ++i)
    if (isUnder(path, volumes[size_t(i)].rootPath) &&
        (best < 0 || volumes[size_t(i)].rootPath.size() > volumes[size_t(best)].rootPath.size()))
      best = i;
  return best;
}

std::vector<Volume> list(const QString& home) {
  static const QSet<QByteArray> pseudo = {
      "proc",      "sysfs",   "devtmpfs", "devpts",      "tmpfs",      "cgroup", "cgroup2", "squashfs",
      "overlay",   "autofs",  "debugfs",  "tracefs",     "securityfs", "pstore", "bpf",     "mqueue",
      "hugetlbfs", "fusectl", "configfs", "binfmt_misc", "efivarfs",   "ramfs",  "nsfs"};
  const QString homeRoot = QStorageInfo(home).rootPath();
  std::vector<Volume> out;
  QSet<QString> roots;
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
    const QString root = v.rootPath();
    if (!v.isValid() || !v.isReady() || roots.contains(root)) continue;
    const bool keep = root == homeRoot || root == QLatin1String("/") ||
                      (!pseudo.contains(v.fileSystemType()) && !isSystemPlace(root));
    if (!keep) continue;
    roots.insert(root);
    out.push_back({root, desktopName(v.name(), root, v.bytesTotal()), isRemovable(v)});
  }
  arrange(out);
  return out;
}

}  // namespace Volumes
