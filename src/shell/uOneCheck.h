#pragma once
// One instance of the program per machine: a lock file named "Lumvaris v20" in the temporary
// folder, held for the life of the process. A lock left by an instance that was killed or
// crashed is recognised by its dead process and taken over.

#include <QLockFile>
#include <QString>

namespace lv {

extern const char* const kInstanceName;      // "Lumvaris v20"
extern const char* const kMsgAlreadyRunning; // "Программа \"Lumvaris\" уже запущена."

class TOneInstance {
public:
    explicit TOneInstance(const QString& lockPath = DefaultLockPath());
    TOneInstance(const TOneInstance&) = delete;
    TOneInstance& operator=(const TOneInstance&) = delete;

    // True when this process now holds the lock (or already held it).
    bool Claim();
    // After a failed Claim: true when another process holds the lock, false when the lock file
    // could not be made at all (no writable temporary folder).
    bool HeldByAnother() const { return m_lock.error() == QLockFile::LockFailedError; }
    void Release();
    bool Held() const { return m_lock.isLocked(); }
    QString LockPath() const { return m_path; }

    static QString DefaultLockPath();

private:
    QString m_path;
    QLockFile m_lock;
};

// Claims the instance; when another instance holds it, shows the error "Программа \"Lumvaris\"
// уже запущена." (OK) and answers false: the program then ends without a window. A lock that
// cannot be made says nothing about another instance: the program then runs unguarded.
bool ClaimSingleInstance(TOneInstance& instance);

} // namespace lv
