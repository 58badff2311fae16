#pragma once

#include <QItemSelection>
#include <QTreeView>

// The tree view of both panes: turns selection changes and context-menu
// requests into signals before the base behaviour runs.
class MyTreeView : public QTreeView
{
    Q_OBJECT
public:
    explicit MyTreeView(QWidget* parent = nullptr);

signals:
    void selectionUpdated(const QItemSelection& selected, const QItemSelection& deselected);
    void contextMenuRequested();

protected:
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};
