#pragma once
// The main graph's display properties as "MainGraphData.dat" keeps them: strips, fonts, colours,
// grids, rulers, labels, header content, display method, cursor, and the print properties
// (copies, orientation, paper, graphs per page, grouping). The graph's extents, zoom limits and
// curves are not display properties and are not kept.

#include <QStringList>

#include "shell/uGraphData.h"

namespace lv {

class TMainGraph;

class TMainGraphPersistence : public IPersistentGraph {
public:
    explicit TMainGraphPersistence(TMainGraph& graph) : m_graph(graph) {}

    // Every kept property under its name (a strip font as "<Name>" and "<Name>Color").
    QVariantMap PersistentProperties() const override;
    bool ApplyPersistentProperty(const QString& name, const QVariant& value) override;

    // The names kept, in table order.
    static QStringList PropertyNames();

private:
    TMainGraph& m_graph;
};

} // namespace lv
