// The report lists of the dialogs (machine table, Soft Note, user list): a table of texts with
// grid lines, full-row selection and the three list colours of the parameter file, optionally a
// check box in front of each row (column 0) and columns whose cells can be edited.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>
#include <QTableView>
#include <QVector>

#include <cstdint>

class DialogTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString title;
        int width = 80;
        bool editable = false;
        bool centred = true; // else left-aligned
    };

    // `checkable`: column 0 holds each row's check box.
    DialogTableModel(QVector<Column> columns, bool checkable, QObject* parent = nullptr);

    const QVector<Column>& columns() const { return columns_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Replaces every row (unchecked); missing cells are empty.
    void setRows(const QVector<QStringList>& rows);
    void clear() { setRows({}); }
    void removeRow(int row);
    QString cell(int row, int column) const;
    bool isChecked(int row) const;
    void setChecked(int row, bool checked);

private:
    struct Row {
        QStringList cells;
        bool checked = false;
    };
    QVector<Column> columns_;
    QVector<Row> rows_;
    bool checkable_;
    QColor textBackground_;
    QColor text_;
};

class DialogTableView : public QTableView {
    Q_OBJECT
public:
    // `accessibleName` names the list for screen readers (lists carry no visible label).
    explicit DialogTableView(const QString& accessibleName, QWidget* parent = nullptr);

    // Sets the model and its column widths.
    void setTableModel(DialogTableModel* model);
    DialogTableModel* tableModel() const { return model_; }

    // The first selected row, or -1.
    int selectedRow() const;
    // Puts the text of an open cell editor into its cell and closes the editor.
    void commitOpenEditor();
    // The width the columns take, with frame and scroll bar.
    int contentsWidthHint() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    DialogTableModel* model_ = nullptr;
};

// A Windows colour value as the parameter file holds it (0x00BBGGRR); the one conversion of the
// list colours for the dialogs' lists and the main window's.
QColor ColorFromColorRef(int32_t colorRef);
