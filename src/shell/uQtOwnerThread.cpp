#include "shell/uQtOwnerThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace lv {

TQtOwnerThread::TQtOwnerThread(QObject* context)
    : m_context(context ? context : QCoreApplication::instance()) {}

bool TQtOwnerThread::IsOwnerThread() const {
    return m_context && QThread::currentThread() == m_context->thread();
}

void TQtOwnerThread::Post(TOwnerTask task) {
    if (!m_context || !task) return;
    QMetaObject::invokeMethod(
        m_context, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

TQtOwnerThread& InstallQtOwnerThread() {
    static TQtOwnerThread service;
    SetOwnerThread(&service);
    return service;
}

} // namespace lv
