// The status timer against a centre on the node simulator: tasks are made through the core, and
// the node list follows them cell by cell, without ever being rebuilt.
#include "StationFixture.h"

#include "gui/kit/StationIcons.h"
#include "tasks/TaskLayer.h"

#include <QRegularExpression>

namespace {

struct CellChange {
    int row;
    int column;
    QVector<int> roles;
    QString text;
};

} // namespace

TEST_F(StationTest, TimerFollowsAQueryAndASend) {
    nodesim::Config config;
    config.baud = 115200; // a send takes seconds, so its progress can be watched
    testsupport::SimLine& line = startLine(0, 4, config);
    writeParameters({line.link(), 4, 0}, {"", 0, 32});
    ASSERT_TRUE(start());

    // Every change the list gets, cell by cell.
    std::vector<CellChange> changes;
    int resets = 0;
    int multiCell = 0;
    QObject::connect(
        &nodes(), &QAbstractItemModel::dataChanged,
        [&](const QModelIndex& tl, const QModelIndex& br, const QVector<int>& roles) {
            if (tl != br)
                ++multiCell;
            changes.push_back({tl.row(), tl.column(), roles, nodes().cell(tl.row(), tl.column())});
        });
    QObject::connect(&nodes(), &QAbstractItemModel::modelReset, [&] { ++resets; });
    const auto image = [&](int row) {
        return nodes().data(nodes().index(row, 0), Qt::DecorationRole).value<QIcon>().cacheKey();
    };
    const auto history = [&](int row, int column) {
        QStringList out;
        for (const CellChange& c : changes)
            if (c.row == row && c.column == column && c.roles.contains(Qt::DisplayRole))
                out << c.text;
        return out;
    };

    // A query of two nodes, held while the line drops every request: one task each, waiting,
    // image 0.
    line.sim().SetDropRate(1.0);
    CTransTask query;
    query.nodeMask[0] = query.nodeMask[1] = 1;
    ASSERT_EQ(CreateQueryTask(0, query), 1);
    for (int row : {0, 1}) {
        WAIT_EQ(nodes().cell(row, kColTaskNum), QString("1"), 60000);
        WAIT_EQ(nodes().cell(row, kColInfo), QString("Waiting..."), 60000);
        EXPECT_EQ(image(row), NodeListImage(0).cacheKey());
    }
    // The line answers again: "Query End", no task left, image 1.
    line.sim().SetDropRate(0);
    for (int row : {0, 1}) {
        WAIT_EQ(nodes().cell(row, kColInfo), QString("Query End"), 60000);
        WAIT_EQ(nodes().cell(row, kColTaskNum), QString("0"), 60000);
        EXPECT_EQ(image(row), NodeListImage(1).cacheKey());
        EXPECT_EQ(history(row, kColTaskNum), QStringList({"1", "0"}));
        EXPECT_EQ(nodes().cell(row, kColSpaceRoom), "1457664");
    }
    EXPECT_TRUE(history(2, kColInfo).isEmpty()) << "a node without tasks is not touched";

    // A send to node 2: the package text with its missing count, and a rising rate.
    const std::string path = file("SAMPLE01.DST");
    ASSERT_TRUE(testsupport::WriteFile(path, testsupport::DesignBytes(40 * 1024, 7)));
    CTransTask send;
    send.nodeMask[2] = 1;
    send.files = {path};
    ASSERT_EQ(CreateSendTask(0, send), 1);
    WAIT_EQ(nodes().cell(2, kColInfo), QString("Send File End"), 120000);
    WAIT_EQ(nodes().cell(2, kColTaskNum), QString("0"), 60000);
    // The sent file is counted; after a retry whose query failed the count stays blank, since
    // the station does not know what else the node holds.
    const QString files = nodes().cell(2, kColFileNum);
    EXPECT_TRUE(files == "1" || files.isEmpty()) << files.toStdString();

    const QStringList info = history(2, kColInfo);
    const QRegularExpression packages("^Sending File's Package\\.\\.\\.(\\d+)$");
    int missing = -1;
    for (const QString& t : info)
        if (auto m = packages.match(t); m.hasMatch())
            missing = m.captured(1).toInt();
    EXPECT_GT(missing, 0) << info.join(" | ").toStdString();
    QVector<int> rates;
    for (const QString& t : history(2, kColRate))
        if (t.endsWith('%'))
            rates << t.chopped(1).toInt();
    // The rate climbs while the packages go out (a resend after a retry may start it again lower).
    ASSERT_GE(rates.size(), 2) << history(2, kColRate).join(" | ").toStdString();
    EXPECT_TRUE(std::adjacent_find(rates.begin(), rates.end(), std::less<int>()) != rates.end())
        << history(2, kColRate).join(" | ").toStdString();

    // Only single cells were changed, and the list was never rebuilt.
    EXPECT_EQ(multiCell, 0);
    EXPECT_EQ(resets, 0);
}
