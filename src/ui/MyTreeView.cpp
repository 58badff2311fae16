#include "ui/MyTreeView.h"

MyTreeView::MyTreeView(QWidget* parent) : QTreeView(parent) {}

void MyTreeView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    emit selectionUpdated(selected, deselected);
    QTreeView::selectionChanged(selected, deselected);
}

void MyTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    emit contextMenuRequested();
    QTreeView::contextMenuEvent(event);
}
