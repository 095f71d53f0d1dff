#include "display/uMsgRsv.h"

#include <QCoreApplication>
#include <algorithm>

#include "trace/PromptService.h"

namespace lv {

const char* const kMsgCannotRegisterMessage =
    "Не удается зарегистрировать сообщение для уведомления о событиях. Это может привести к "
    "некорректной работе некоторых частей программы. Попробуйте перезагрузить Windows и запустить "
    "программу снова. Если ошибка будет повторяться обратитесь к разработчику.";

int MessagerReceiverMessage() {
    static const int number = [] {
        int t = QEvent::registerEventType();
        if (t <= 0) {
            Prompts().MessageDlg(kMsgCannotRegisterMessage, TMsgDlgType::mtError, mbOK, 0);
            return 0;
        }
        return t;
    }();
    return number;
}

TMessager::TMessager() : m_message(MessagerReceiverMessage()) {}

int TMessager::AddReceiver(QObject* window) {
    if (!window) return 0;
    m_windows.emplace_back(window);
    return m_message;
}

int TMessager::AddReceiver(TReceiver* receiver) {
    return receiver ? AddReceiver(receiver->Window()) : 0;
}

void TMessager::RemoveReceiver(QObject* window) {
    auto it = std::find_if(m_windows.begin(), m_windows.end(),
                           [&](const QPointer<QObject>& w) { return w == window; });
    if (it != m_windows.end()) m_windows.erase(it);
}

void TMessager::RemoveReceiver(TReceiver* receiver) {
    if (receiver && receiver->Window()) RemoveReceiver(receiver->Window());
}

void TMessager::Broadcast(TMessageValue first, TMessageValue second, int mode) {
    std::erase_if(m_windows, [](const QPointer<QObject>& w) { return w.isNull(); });
    if (m_message == 0 || mode < mdCall || mode > mdPost) return;
    // A handler may register or remove receivers; the notice goes to those registered now that
    // are still registered and alive when their turn comes.
    const std::vector<QPointer<QObject>> targets = m_windows;
    for (const QPointer<QObject>& target : targets) {
        if (target.isNull()) continue;
        if (std::find(m_windows.begin(), m_windows.end(), target) == m_windows.end()) continue;
        if (mode == mdPost) {
            QCoreApplication::postEvent(target.data(), new TMessagerEvent(m_message, first, second));
        } else {
            TMessagerEvent e(m_message, first, second);
            QCoreApplication::sendEvent(target.data(), &e);
        }
    }
    std::erase_if(m_windows, [](const QPointer<QObject>& w) { return w.isNull(); });
}

TReceiver::TReceiver() : m_ownWindow(std::make_unique<QObject>()), m_message(MessagerReceiverMessage()) {
    m_window = m_ownWindow.get();
    m_window->installEventFilter(this);
}

TReceiver::TReceiver(QObject* window) : m_window(window), m_message(MessagerReceiverMessage()) {
    if (m_window) m_window->installEventFilter(this);
}

TReceiver::~TReceiver() {
    if (m_window) m_window->removeEventFilter(this);
    // Deleting the own object drops the notices still queued for it.
    m_ownWindow.reset();
}

bool TReceiver::eventFilter(QObject* watched, QEvent* event) {
    if (m_message != 0 && watched == m_window && event->type() == QEvent::Type(m_message)) {
        auto* e = static_cast<TMessagerEvent*>(event);
        if (OnMessage) e->Result = OnMessage(e->First, e->Second);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace lv
