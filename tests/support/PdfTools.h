#pragma once
// PDF files read back with poppler's tools: pages counted by pdfinfo, words placed by
// pdftotext -bbox.

#include <gtest/gtest.h>

#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <vector>

namespace lvtest {

// The standard output of `program`; a failure of the test when it fails.
inline QByteArray RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed: " << p.readAllStandardError().toStdString();
        return {};
    }
    return p.readAllStandardOutput();
}

inline int PdfPages(const QString& pdf) {
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                                          .match(QString::fromUtf8(RunTool("pdfinfo", {pdf})));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

struct PdfWord {
    QString Text;
    QRectF Box; // points, from the page's top-left corner
};

// The words of each page, as pdftotext -bbox places them.
inline std::vector<std::vector<PdfWord>> PdfWords(const QString& pdf) {
    const QString xml = QString::fromUtf8(RunTool("pdftotext", {"-bbox", pdf, "-"}));
    std::vector<std::vector<PdfWord>> pages;
    static const QRegularExpression token(
        QStringLiteral("<page |<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    for (auto it = token.globalMatch(xml); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0) == QStringLiteral("<page ")) {
            pages.emplace_back();
            continue;
        }
        if (pages.empty()) continue;
        pages.back().push_back(
            {m.captured(5), QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                   QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))});
    }
    return pages;
}

// The boxes of the words equal to `text`.
inline std::vector<QRectF> FindWord(const std::vector<PdfWord>& page, const QString& text) {
    std::vector<QRectF> r;
    for (const PdfWord& w : page)
        if (w.Text == text) r.push_back(w.Box);
    return r;
}

} // namespace lvtest
