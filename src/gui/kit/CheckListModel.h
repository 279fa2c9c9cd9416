// The model under each of the main window's four lists: a table of texts with a check mark in
// column 0 and, for the node list, an image in front of the first cell. It holds exactly what the
// list shows; the window changes single cells through setCell and setImage, which announce only
// the cell that changed, so a timer tick never resets a list.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QIcon>
#include <QStringList>
#include <QVector>

#include <cstdint>

// The three list colours of the parameter file; invalid colours stand for the style's.
struct ListColors {
    QColor background;     // "ListColor": the list's background
    QColor textBackground; // "FontBKColor": behind the texts
    QColor text;           // "FontColor"
};
// The colours of the parameter record, or none (the style's) when its texts would be hard to read
// on them (ListColorsReadable).
ListColors ListColorsFromParameters();

class CheckListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString title;
        int width = 80;
        bool centred = true; // else left-aligned
    };

    explicit CheckListModel(QVector<Column> columns, QObject* parent = nullptr);

    void setColors(const ListColors& colors);
    const QVector<Column>& columns() const { return columns_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Empties the list.
    void clear();
    // Replaces every row at once (unchecked); `images`, when given, holds one per row.
    void setRows(const QVector<QStringList>& rows, const QVector<QIcon>& images = {});
    // Appends a row with these texts (missing ones empty, unchecked); returns its number.
    int appendRow(const QStringList& cells, const QIcon& image = QIcon());
    // The text shown in a cell; empty outside the rows.
    QString cell(int row, int column) const;
    // Changes one cell; nothing is announced when the text stays the same.
    void setCell(int row, int column, const QString& text);
    void setImage(int row, const QIcon& image);

    bool isChecked(int row) const;
    void setChecked(int row, bool checked);
    QVector<int> checkedRows() const;

private:
    struct Row {
        QStringList cells;
        QIcon image;
        bool checked = false;
    };
    QVector<Column> columns_;
    QVector<Row> rows_;
    ListColors colors_;
};
