#include "shell/uHelpViewer.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QRegularExpression>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <algorithm>

#include "shell/uStartup.h"

namespace lv {

namespace {

QString readPage(const QString& page) {
    QFile f(QStringLiteral(":/help/") + page);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll());
}

QString pageTitle(const QString& html) {
    static const QRegularExpression re(QStringLiteral("<title>([^<]*)</title>"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(html);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

QPointer<THelpViewer> g_viewer;

} // namespace

THelpViewer::THelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
    EnsureShellResources();
    setWindowTitle(QStringLiteral("Справка Lumvaris"));
    resize(860, 600);

    m_contents = new QListWidget;
    m_filter = new QLineEdit;
    m_filter->setPlaceholderText(QStringLiteral("Введите ключевое слово"));
    m_index = new QListWidget;
    auto* indexPage = new QWidget;
    auto* indexLayout = new QVBoxLayout(indexPage);
    indexLayout->setContentsMargins(4, 4, 4, 4);
    indexLayout->addWidget(new QLabel(QStringLiteral("Ключевое слово:")));
    indexLayout->addWidget(m_filter);
    indexLayout->addWidget(m_index);

    m_tabs = new QTabWidget;
    m_tabs->addTab(m_contents, QStringLiteral("Содержание"));
    m_tabs->addTab(indexPage, QStringLiteral("Указатель"));

    m_browser = new QTextBrowser;
    m_browser->setSearchPaths({QStringLiteral(":/help")});
    m_browser->setOpenExternalLinks(true);

    auto* split = new QSplitter;
    split->addWidget(m_tabs);
    split->addWidget(m_browser);
    split->setStretchFactor(1, 1);
    split->setSizes({240, 620});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);

    loadTopics();

    connect(m_contents, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { ShowPage(item->data(Qt::UserRole).toString()); });
    connect(m_contents, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ShowPage(item->data(Qt::UserRole).toString()); });
    connect(m_index, &QListWidget::itemActivated, this, &THelpViewer::openIndexItem);
    connect(m_index, &QListWidget::itemClicked, this, &THelpViewer::openIndexItem);
    connect(m_filter, &QLineEdit::textChanged, this, &THelpViewer::filterIndex);
    connect(m_filter, &QLineEdit::returnPressed, this, [this] {
        if (QListWidgetItem* item = m_index->currentItem(); item && !item->isHidden()) openIndexItem(item);
    });
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this] { ShowIndex(); });

    ShowPage(QStringLiteral("index.html"));
}

void THelpViewer::loadTopics() {
    const QString index = readPage(QStringLiteral("index.html"));
    m_contentsTopics.append({pageTitle(index), QStringLiteral("index.html")});
    static const QRegularExpression link(QStringLiteral("<a\\s+href=\"([^\"#:]+\\.html)\"[^>]*>([^<]+)</a>"),
                                         QRegularExpression::CaseInsensitiveOption);
    QStringList pages{QStringLiteral("index.html")};
    for (auto it = link.globalMatch(index); it.hasNext();) {
        const auto m = it.next();
        if (pages.contains(m.captured(1))) continue;
        pages << m.captured(1);
        m_contentsTopics.append({m.captured(2).trimmed(), m.captured(1)});
    }
    for (const THelpTopic& t : m_contentsTopics) {
        auto* item = new QListWidgetItem(t.Title, m_contents);
        item->setData(Qt::UserRole, t.Page);
    }

    static const QRegularExpression meta(QStringLiteral("<meta\\s+name=\"keywords\"\\s+content=\"([^\"]*)\""),
                                         QRegularExpression::CaseInsensitiveOption);
    for (const QString& page : pages) {
        const auto m = meta.match(readPage(page));
        if (!m.hasMatch()) continue;
        for (const QString& k : m.captured(1).split(u';', Qt::SkipEmptyParts)) {
            const QString keyword = k.trimmed();
            if (!keyword.isEmpty()) m_keywordTopics.append({keyword, page});
        }
    }
    std::stable_sort(m_keywordTopics.begin(), m_keywordTopics.end(),
                     [](const THelpTopic& a, const THelpTopic& b) {
                         return QString::localeAwareCompare(a.Title.toLower(), b.Title.toLower()) < 0;
                     });
    for (const THelpTopic& t : m_keywordTopics) {
        auto* item = new QListWidgetItem(t.Title, m_index);
        item->setData(Qt::UserRole, t.Page);
    }
}

void THelpViewer::ShowPage(const QString& page) {
    m_browser->setSource(QUrl(QStringLiteral("qrc:/help/") + page));
    if (!isVisible()) show();
    raise();
    activateWindow();
}

void THelpViewer::ShowContents() {
    m_tabs->setCurrentIndex(0);
    ShowPage(QStringLiteral("index.html"));
    m_contents->setCurrentRow(0);
}

void THelpViewer::ShowIndex(const QString& keyword) {
    m_tabs->setCurrentIndex(1);
    m_filter->setText(keyword);
    filterIndex(keyword);
    if (!isVisible()) show();
    raise();
    activateWindow();
    m_filter->setFocus();
    if (!keyword.isEmpty()) {
        for (int i = 0; i < m_index->count(); ++i) {
            QListWidgetItem* item = m_index->item(i);
            if (item->text().compare(keyword, Qt::CaseInsensitive) == 0) {
                openIndexItem(item);
                break;
            }
        }
    }
}

void THelpViewer::filterIndex(const QString& text) {
    const QString t = text.trimmed();
    QListWidgetItem* first = nullptr;
    for (int i = 0; i < m_index->count(); ++i) {
        QListWidgetItem* item = m_index->item(i);
        const bool shown = t.isEmpty() || item->text().contains(t, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !first) first = item;
    }
    // Entries that begin with the typed text come first in the user's eye: select the first of them.
    for (int i = 0; i < m_index->count() && !t.isEmpty(); ++i) {
        QListWidgetItem* item = m_index->item(i);
        if (!item->isHidden() && item->text().startsWith(t, Qt::CaseInsensitive)) {
            first = item;
            break;
        }
    }
    m_index->setCurrentItem(first);
}

void THelpViewer::openIndexItem(QListWidgetItem* item) {
    if (item) ShowPage(item->data(Qt::UserRole).toString());
}

QString THelpViewer::CurrentPage() const {
    return m_browser->source().fileName();
}

QStringList THelpViewer::VisibleKeywords() const {
    QStringList out;
    for (int i = 0; i < m_index->count(); ++i)
        if (!m_index->item(i)->isHidden()) out << m_index->item(i)->text();
    return out;
}

bool THelpViewer::IndexTabShown() const {
    return m_tabs->currentIndex() == 1;
}

void THelpViewer::ExecModal() {
    // Only a window shown after the modal box, and itself modal, takes input over it.
    hide();
    setWindowModality(Qt::ApplicationModal);
    show();
    QEventLoop loop;
    connect(this, &THelpViewer::Closed, &loop, &QEventLoop::quit);
    if (isVisible()) loop.exec();
    setWindowModality(Qt::NonModal);
}

void THelpViewer::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted()) {
        hide();
        emit Closed();
    }
}

THelpViewer* HelpViewer() {
    if (!g_viewer) g_viewer = new THelpViewer;
    return g_viewer;
}

void HelpContents() {
    HelpViewer()->ShowContents();
}

void HelpIndex(const QString& keyword) {
    HelpViewer()->ShowIndex(keyword);
}

void ShowHelpForContext(int, bool modal) {
    THelpViewer* v = HelpViewer();
    v->ShowContents();
    if (modal) v->ExecModal();
}

void HelpQuit() {
    delete g_viewer.data();
}

} // namespace lv
