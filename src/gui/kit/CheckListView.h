// A report list with check boxes, grid lines and full-row selection, as every list of the main
// window is. Space toggles the check mark of the focused row wherever the focus sits in the row;
// the list tells when it receives the input focus (the window's active list) and, when asked to,
// takes files dropped from a file manager.
#pragma once

#include <QTableView>

class CheckListModel;
struct ListColors;

class CheckListView : public QTableView {
    Q_OBJECT
public:
    // `accessibleName` names the list for screen readers (it has no visible label).
    CheckListView(const QString& accessibleName, QWidget* parent = nullptr);

    // Sets the model, its column widths and the list colours.
    void setCheckModel(CheckListModel* model);
    CheckListModel* checkModel() const { return model_; }
    // The list's background and text in `colors`, in the list and in its model's cells.
    void setListColors(const ListColors& colors);

    // Widens column 0 when its width cannot hold the check box, the image (when `withImage`) and
    // `sample` side by side.
    void fitFirstColumn(const QString& sample, bool withImage);

    // Accept local files dropped onto the list (reported by filesDropped).
    void setAcceptFileDrops(bool accept);

    // Rows that are selected (highlighted), in row order.
    QVector<int> selectedRowNumbers() const;

    // The selection entries of the menus: tick every row, the selected rows, every row but the
    // selected ones (nothing happens without a selection), or no row.
    enum class CheckOp { All, Selected, Unselected, None };
    void applyCheckOp(CheckOp op);
    // The width the columns take, with frame and scroll bar.
    int contentsWidthHint() const;

    // True while the list itself makes its first row current (see placeCurrent): nobody chose
    // that row, so whoever follows the current row leaves it alone.
    bool placingCurrent() const { return placing_; }

signals:
    void focusEntered();
    void filesDropped(const QStringList& paths);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // A shown list with rows always has a current cell (the first one, unless the operator moved
    // on), so that Space and a screen reader find a row to act on and to read.
    void placeCurrent();

    CheckListModel* model_ = nullptr;
    bool fileDrops_ = false;
    bool placing_ = false;
};
