#pragma once
// The in-program help: Russian HTML pages compiled into the program, shown in a window with a
// contents list and a keyword index. Pages live under ":/help"; the contents are the links of
// "index.html" in their order, the keywords come from each page's <meta name="keywords">
// (separated by ";").

#include <QList>
#include <QString>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTabWidget;
class QTextBrowser;

namespace lv {

struct THelpTopic {
    QString Title;
    QString Page; // file name under ":/help", optionally with "#anchor"
};

class THelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit THelpViewer(QWidget* parent = nullptr);

    void ShowContents();
    // The index tab with `keyword` typed into its filter; an exact match opens its page.
    void ShowIndex(const QString& keyword = {});
    void ShowPage(const QString& page);
    // Shows the window modally over the current modal box and returns when it is closed.
    void ExecModal();

    const QList<THelpTopic>& Contents() const { return m_contentsTopics; }
    const QList<THelpTopic>& Keywords() const { return m_keywordTopics; }
    // The page shown now ("index.html", "printing.html", ...).
    QString CurrentPage() const;
    // Index entries that the filter leaves visible, in list order.
    QStringList VisibleKeywords() const;
    bool IndexTabShown() const;

    QTextBrowser* Browser() const { return m_browser; }
    QLineEdit* IndexFilter() const { return m_filter; }
    QListWidget* IndexList() const { return m_index; }

signals:
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void loadTopics();
    void filterIndex(const QString& text);
    void openIndexItem(QListWidgetItem* item);

    QTabWidget* m_tabs = nullptr;
    QListWidget* m_contents = nullptr;
    QLineEdit* m_filter = nullptr;
    QListWidget* m_index = nullptr;
    QTextBrowser* m_browser = nullptr;
    QList<THelpTopic> m_contentsTopics;
    QList<THelpTopic> m_keywordTopics;
};

// The program's one help window, created on first use.
THelpViewer* HelpViewer();
void HelpContents();
void HelpIndex(const QString& keyword = {});
// A help request from a box or dialog with a help context; no context page is registered yet,
// so every context opens the contents. `modal` shows the help over a modal box.
void ShowHelpForContext(int helpContext, bool modal);
// Closes and frees the help window (the main window's destruction).
void HelpQuit();

} // namespace lv
