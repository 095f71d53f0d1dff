#pragma once
// One instance of the program per user: a lock file named after "Lumvaris v20", held for the
// life of the process, in a folder that every start of the same user finds (the user's runtime
// folder, else the system's temporary folder with the user's id in the name; never $TMPDIR, which
// a terminal and a file manager may set differently). A lock left by an instance that was killed
// or crashed is recognised by its dead process and taken over.
//
// Beside the lock the running instance listens on a local socket: a second start with files hands
// them over there (the running program opens them and comes to the front) instead of dropping
// them; a second start without files says that the program is running already.

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace lv {

extern const char* const kInstanceName;      // "Lumvaris v20"
extern const char* const kMsgAlreadyRunning; // "Программа \"Lumvaris\" уже запущена."

// Where the instance's lock and socket live, without extension: "<runtime>/Lumvaris v20" when
// `runtimeDir` is an existing absolute folder, else "/tmp/Lumvaris v20-<uid>".
QString InstanceBasePath(const QString& runtimeDir, unsigned uid);
// The same for this process's user and runtime folder ($XDG_RUNTIME_DIR).
QString InstanceBasePath();

class TOneInstance {
public:
    explicit TOneInstance(const QString& lockPath = DefaultLockPath());
    TOneInstance(const TOneInstance&) = delete;
    TOneInstance& operator=(const TOneInstance&) = delete;

    // True when this process now holds the lock (or already held it).
    bool Claim();
    // After a failed Claim: true when another process holds the lock, false when the lock file
    // could not be made at all (no writable folder).
    bool HeldByAnother() const { return m_lock.error() == QLockFile::LockFailedError; }
    void Release();
    bool Held() const { return m_lock.isLocked(); }
    QString LockPath() const { return m_path; }
    // The socket of the instance that holds this lock: the lock's name with ".socket".
    QString SocketPath() const;

    static QString DefaultLockPath(); // InstanceBasePath() + ".lock"

private:
    QString m_path;
    QLockFile m_lock;
};

// The running instance's end of the hand-over: every start that finds the program running sends
// its files here, absolute, one per line, ended by an empty line; each batch is answered "OK" and
// reported once.
class TInstanceServer : public QObject {
    Q_OBJECT
public:
    explicit TInstanceServer(QObject* parent = nullptr);
    // Listens at `socketPath`, readable by this user only. A socket left by a crashed instance is
    // removed first: the caller holds the instance lock, so nobody else listens there.
    bool Listen(const QString& socketPath);

signals:
    void FilesReceived(const QStringList& files);

private:
    void take(QLocalSocket* socket);
    QLocalServer* m_server;
};

// A second start hands `files` (made absolute against its own working folder) to the instance
// listening at `socketPath`; true once that instance has taken them.
bool HandFilesToRunningInstance(const QString& socketPath, const QStringList& files, int timeoutMs = 5000);

// Claims the instance. When another instance holds it: files given are handed to it, and the
// answer is false without a word; without files (or when the running instance cannot take them)
// the error "Программа \"Lumvaris\" уже запущена." (OK) is shown and the answer is false: the
// program then ends without a window. A lock that cannot be made says nothing about another
// instance: the program then runs unguarded.
bool ClaimSingleInstance(TOneInstance& instance, const QStringList& files = {});

} // namespace lv
