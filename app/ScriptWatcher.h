// Watches the loaded script's file so that the window reloads it whenever it is saved, however
// the editor saves: in place, by writing another file and renaming it over the script, or by
// deleting and writing it anew. The file and its folder are both watched (a watch on the file
// alone is lost when the file is renamed over or removed) and the file is watched again
// whenever it is back.
//
// The events of one save come within a short time; they are gathered for kSettleMs after the
// first, then the file is compared with what was last seen (its identity, size and times), so
// that a save reloads once and a change to another file of the folder reloads nothing. A file
// that is missing when its save settles is given kMissingMs to come back before its absence
// counts as a change: a save that deletes and writes anew does not flicker the preview.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class QFileSystemWatcher;
class QTimer;

namespace quarnel {

class CScriptWatcher : public QObject {
  Q_OBJECT

 public:
  static constexpr int kSettleMs = 120;
  static constexpr int kMissingMs = 1000;

  explicit CScriptWatcher(QObject* parent = nullptr);

  // Watches the file at `path` from now on, as it is now.
  void Watch(const QString& path);
  // The file as it is now counts as seen (the window has just read it for another reason).
  void Rebase();

 signals:
  // The file was saved (or has gone for good) since it was last seen.
  void changed();

 private:
  // What tells one version of the file from another.
  struct TSignature {
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modified = 0;       // ns
    int64_t statusChanged = 0;  // ns
    bool operator==(const TSignature&) const = default;
  };
  TSignature Look() const;
  void Event();
  void Settled();
  void StillMissing();
  void WatchAgain();

  QString path_;
  QString folder_;
  TSignature seen_;
  QFileSystemWatcher* watcher_ = nullptr;
  QTimer* settle_ = nullptr;
  QTimer* missing_ = nullptr;
};

}  // namespace quarnel
