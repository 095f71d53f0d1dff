#pragma once
// A one-way notification channel between objects of the GUI thread. A TMessager keeps a list of
// receiving objects and delivers a pair of values to all of them, at once (modes 0 and 1: done
// before Broadcast returns) or posted (mode 2: later, from the event loop, in posting order). A
// TReceiver listens on an object of its own or on a borrowed one and hands the notices to
// OnMessage. Notices still queued for a receiver that is gone are never handled: Qt drops posted
// events of a deleted object, and a borrowed object without its receiver ignores them.

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace lv {

using TMessageValue = intptr_t;

extern const char* const kMsgCannotRegisterMessage;

// The process-wide event type of the notices ("MessagerReceiverMessage"); 0 when it could not
// be registered (the operator has been told, and nothing is delivered).
int MessagerReceiverMessage();

class TMessagerEvent : public QEvent {
public:
    TMessagerEvent(int type, TMessageValue first, TMessageValue second)
        : QEvent(QEvent::Type(type)), First(first), Second(second) {}
    TMessageValue First;
    TMessageValue Second;
    TMessageValue Result = 0;
};

class TReceiver;

class TMessager {
public:
    enum TMode { mdCall = 0, mdSend = 1, mdPost = 2 };

    TMessager();
    virtual ~TMessager() = default;
    TMessager(const TMessager&) = delete;
    TMessager& operator=(const TMessager&) = delete;

    // Registers an object; answers the message number, or 0 for no object.
    virtual int AddReceiver(QObject* window);
    // Registers the receiver's object (0 when it has none).
    virtual int AddReceiver(TReceiver* receiver);
    // Removes the first registration of the object.
    virtual void RemoveReceiver(QObject* window);
    virtual void RemoveReceiver(TReceiver* receiver);
    // Delivers (first, second) to every registered object in registration order; objects that
    // are gone leave the list. Modes other than 0, 1 and 2 deliver nothing.
    virtual void Broadcast(TMessageValue first, TMessageValue second, int mode);

    int MessageNumber() const { return m_message; }
    int ReceiverCount() const { return int(m_windows.size()); }

private:
    int m_message;
    std::vector<QPointer<QObject>> m_windows;
};

class TReceiver : public QObject {
public:
    using TMessageEvent = std::function<TMessageValue(TMessageValue first, TMessageValue second)>;

    // Listens on an object of its own, freed with the receiver.
    TReceiver();
    // Listens on `window` (not owned); nullptr: no object at all, nothing is received.
    explicit TReceiver(QObject* window);
    ~TReceiver() override;

    // The object the notices are delivered to; null when none or when the borrowed one is gone.
    QObject* Window() const { return m_window; }
    bool OwnsWindow() const { return m_ownWindow != nullptr; }
    int MessageNumber() const { return m_message; }

    TMessageEvent OnMessage;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<QObject> m_ownWindow;
    QPointer<QObject> m_window;
    int m_message;
};

} // namespace lv
