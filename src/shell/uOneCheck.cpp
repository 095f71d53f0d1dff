#include "shell/uOneCheck.h"

#include <QDir>

#include "trace/PromptService.h"

namespace lv {

const char* const kInstanceName = "Lumvaris v20";
const char* const kMsgAlreadyRunning = "Программа \"Lumvaris\" уже запущена.";

TOneInstance::TOneInstance(const QString& lockPath) : m_path(lockPath), m_lock(lockPath) {
    // Age never makes the lock stale (a program may run for weeks); only a dead owner does.
    m_lock.setStaleLockTime(0);
}

QString TOneInstance::DefaultLockPath() {
    return QDir::tempPath() + u'/' + QString::fromLatin1(kInstanceName) + QStringLiteral(".lock");
}

bool TOneInstance::Claim() {
    if (m_lock.isLocked()) return true;
    if (m_lock.tryLock(0)) return true;
    // tryLock removes a lock whose owner is gone by itself; this covers a lock file whose
    // content could not be read (an empty file left by a crash while it was being written).
    if (m_lock.error() == QLockFile::LockFailedError) {
        qint64 pid = 0;
        QString host, app;
        if (!m_lock.getLockInfo(&pid, &host, &app) && m_lock.removeStaleLockFile()) return m_lock.tryLock(0);
    }
    return false;
}

void TOneInstance::Release() {
    m_lock.unlock();
}

bool ClaimSingleInstance(TOneInstance& instance) {
    if (instance.Claim() || !instance.HeldByAnother()) return true;
    MessageDlg(kMsgAlreadyRunning, TMsgDlgType::mtError, mbOK);
    return false;
}

} // namespace lv
