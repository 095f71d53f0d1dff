#include "shell/uOneCheck.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "trace/PromptService.h"

namespace lv {

const char* const kInstanceName = "Lumvaris v20";
const char* const kMsgAlreadyRunning = "Программа \"Lumvaris\" уже запущена.";

namespace {

const QByteArray kTaken = "OK\n";

} // namespace

QString InstanceBasePath(const QString& runtimeDir, unsigned uid) {
    const QString name = QString::fromLatin1(kInstanceName);
    const QFileInfo runtime(runtimeDir);
    if (!runtimeDir.isEmpty() && runtime.isAbsolute() && runtime.isDir())
        return QDir::cleanPath(runtimeDir) + u'/' + name;
    return QStringLiteral("/tmp/") + name + u'-' + QString::number(uid);
}

QString InstanceBasePath() {
#ifdef Q_OS_UNIX
    return InstanceBasePath(qEnvironmentVariable("XDG_RUNTIME_DIR"), unsigned(::getuid()));
#else
    return QDir::tempPath() + u'/' + QString::fromLatin1(kInstanceName);
#endif
}

// ---- the lock ---------------------------------------------------------------------------------------

TOneInstance::TOneInstance(const QString& lockPath) : m_path(lockPath), m_lock(lockPath) {
    // Age never makes the lock stale (a program may run for weeks); only a dead owner does.
    m_lock.setStaleLockTime(0);
}

QString TOneInstance::DefaultLockPath() {
    return InstanceBasePath() + QStringLiteral(".lock");
}

QString TOneInstance::SocketPath() const {
    QString base = m_path;
    if (base.endsWith(QStringLiteral(".lock"))) base.chop(5);
    return base + QStringLiteral(".socket");
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

// ---- the hand-over ------------------------------------------------------------------------------------

TInstanceServer::TInstanceServer(QObject* parent) : QObject(parent), m_server(new QLocalServer(this)) {
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = m_server->nextPendingConnection()) {
            connect(s, &QLocalSocket::readyRead, this, [this, s] { take(s); });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            take(s);
        }
    });
}

bool TInstanceServer::Listen(const QString& socketPath) {
    QLocalServer::removeServer(socketPath);
    return m_server->listen(socketPath);
}

void TInstanceServer::take(QLocalSocket* socket) {
    // A batch is complete at its empty line; until then it waits in the socket.
    const QByteArray pending = socket->peek(socket->bytesAvailable());
    const qsizetype end = pending.startsWith('\n') ? 0 : pending.indexOf("\n\n");
    if (end < 0) return;
    const QByteArray batch = socket->read(end + (pending.startsWith('\n') ? 1 : 2));
    QStringList files;
    for (const QByteArray& line : batch.split('\n'))
        if (!line.isEmpty()) files << QString::fromUtf8(line);
    socket->write(kTaken);
    socket->flush();
    if (!files.isEmpty()) emit FilesReceived(files);
}

bool HandFilesToRunningInstance(const QString& socketPath, const QStringList& files, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs)) return false;
    QByteArray batch;
    for (const QString& f : files)
        batch += QFileInfo(f).absoluteFilePath().toUtf8() + '\n';
    batch += '\n';
    socket.write(batch);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    QByteArray answer;
    QElapsedTimer clock;
    clock.start();
    while (!answer.contains('\n') && clock.elapsed() < timeoutMs) {
        if (!socket.waitForReadyRead(int(std::max<qint64>(timeoutMs - clock.elapsed(), 1)))) break;
        answer += socket.readAll();
    }
    return answer == kTaken;
}

bool ClaimSingleInstance(TOneInstance& instance, const QStringList& files) {
    if (instance.Claim() || !instance.HeldByAnother()) return true;
    if (!files.isEmpty() && HandFilesToRunningInstance(instance.SocketPath(), files)) return false;
    MessageDlg(kMsgAlreadyRunning, TMsgDlgType::mtError, mbOK);
    return false;
}

} // namespace lv
