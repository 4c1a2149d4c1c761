#include "app/ScriptWatcher.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

namespace quarnel {

namespace {

int64_t Nanoseconds(const struct timespec& t) {
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace

CScriptWatcher::CScriptWatcher(QObject* parent) : QObject(parent) {
  watcher_ = new QFileSystemWatcher(this);
  connect(watcher_, &QFileSystemWatcher::fileChanged, this, &CScriptWatcher::Event);
  connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &CScriptWatcher::Event);
  settle_ = new QTimer(this);
  settle_->setSingleShot(true);
  settle_->setInterval(kSettleMs);
  connect(settle_, &QTimer::timeout, this, &CScriptWatcher::Settled);
  missing_ = new QTimer(this);
  missing_->setSingleShot(true);
  missing_->setInterval(kMissingMs);
  connect(missing_, &QTimer::timeout, this, &CScriptWatcher::StillMissing);
}

void CScriptWatcher::Watch(const QString& path) {
  settle_->stop();
  missing_->stop();
  const QStringList watched = watcher_->files() + watcher_->directories();
  if (!watched.isEmpty()) watcher_->removePaths(watched);
  path_ = path;
  folder_ = path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
  WatchAgain();
  seen_ = Look();
}

void CScriptWatcher::Rebase() {
  settle_->stop();
  missing_->stop();
  seen_ = Look();
}

CScriptWatcher::TSignature CScriptWatcher::Look() const {
  TSignature s;
  struct stat st;
  if (path_.isEmpty() || stat(QFile::encodeName(path_).constData(), &st) != 0) return s;
  s.exists = true;
  s.device = st.st_dev;
  s.inode = st.st_ino;
  s.size = st.st_size;
  s.modified = Nanoseconds(st.st_mtim);
  s.statusChanged = Nanoseconds(st.st_ctim);
  return s;
}

// The watches that a rename or a removal took away, put back where there is something to
// watch.
void CScriptWatcher::WatchAgain() {
  if (path_.isEmpty()) return;
  if (!watcher_->directories().contains(folder_) && QFileInfo(folder_).isDir()) {
    watcher_->addPath(folder_);
  }
  if (!watcher_->files().contains(path_) && QFileInfo(path_).isFile()) watcher_->addPath(path_);
}

// The first event of a save starts the wait; the ones after it are part of the same save.
void CScriptWatcher::Event() {
  WatchAgain();
  if (!settle_->isActive()) settle_->start();
}

void CScriptWatcher::Settled() {
  WatchAgain();
  const TSignature now = Look();
  if (!now.exists) {
    // Maybe in the middle of a save that deletes and writes anew.
    if (seen_.exists && !missing_->isActive()) missing_->start();
    return;
  }
  missing_->stop();
  if (now == seen_) return;
  seen_ = now;
  emit changed();
}

// Gone for good, or back without an event that said so.
void CScriptWatcher::StillMissing() {
  WatchAgain();
  const TSignature now = Look();
  if (now == seen_) return;
  seen_ = now;
  emit changed();
}

}  // namespace quarnel
