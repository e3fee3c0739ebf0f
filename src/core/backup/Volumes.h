#pragma once

#include <QString>
#include <vector>

// The mounted volumes a backup can be written to, as the drive list shows them.
namespace Volumes {

struct Volume {
  QString rootPath;
  QString name;  // as the desktop names it: the volume's label, else its size ("16 GB Volume")
  bool removable = false;
  QString text() const;  // the list's text: name and root path
};

// The mounted volumes of real file systems, removable media (USB sticks, cards) first, each group in
// mount order; the volume of home is always among them.
std::vector<Volume> list(const QString& home);

// Removable media first, otherwise keeping the order.
void arrange(std::vector<Volume>& volumes);

// The desktop's name for a volume: its label; for the root of the system "File System"; otherwise
// its size in decimal units followed by "Volume".
QString desktopName(const QString& label, const QString& rootPath, qint64 bytesTotal);

// The volume of the list that holds path (the longest root path that contains it); -1 for none.
int indexOf(const std::vector<Volume>& volumes, const QString& path);

}  // namespace Volumes
