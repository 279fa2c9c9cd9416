// Texts by identifier, and a translated edition's texts reaching the rules that compose them.
#include "link/NodeStatus.h"
#include "station/FileGroups.h"
#include "station/NodeRows.h"
#include "station/StationTexts.h"
#include "users/CurrentUser.h"
#include "users/UserTexts.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(StationTexts, EveryLayersTextsByIdentifier) {
    EXPECT_EQ(EnglishText(StatusTextId(22)), "User Has Cancelled Task");
    EXPECT_EQ(EnglishText(StatusTextId(14)), "Quering...");
    EXPECT_EQ(EnglishText(StatusTextId(NS_LINE_LOST)), "Line Lost");
    EXPECT_EQ(EnglishText(StatusTextId(9)), "");
    EXPECT_EQ(StatusTextId(-1), 0);
    EXPECT_EQ(EnglishText(ChannelResultTextId(0)), "Two Channels Error");
    EXPECT_EQ(EnglishText(ChannelResultTextId(2)), "Channel One Error, Channel Two Success");
    EXPECT_EQ(EnglishText(TaskTypeTextId(5)), "Delete File");
    EXPECT_EQ(EnglishText(kIdsMachineTextTooLong), "Length Cannot Exceeds 20 ASCII Bytes.");
    EXPECT_EQ(EnglishText(kIdsPasswordReadError), "Password Read Error!");

    const std::vector<int> ids = StationTextIds();
    const std::set<int> unique(ids.begin(), ids.end());
    EXPECT_EQ(unique.size(), ids.size());
    for (int id : {StatusTextId(4), ChannelResultTextId(3), TaskTypeTextId(2),
                   int{kIdsReplaceQuestion}, int{kIdsMachineTextCaption}, int{kIdsOperator}})
        EXPECT_EQ(unique.count(id), 1u) << id;
    for (int id : ids)
        EXPECT_FALSE(EnglishText(id).empty()) << id;

    EXPECT_EQ(FormatText("%2 of %1, 100%", {"a", "b"}), "b of a, 100%");
    EXPECT_EQ(FormatText("%3!", {"a"}), "!");
}

TEST(StationTexts, TranslatorReachesComposedTexts) {
    SetTextTranslator([](int id, const std::string& english) {
        return id == kIdsFileMissing ? "%1 [missing]" : "<" + english + ">";
    });
    EXPECT_EQ(NodeInfoText(21, 5), "<Sending File's Package...>5");
    FileProblem p;
    p.path = "/x/a.dst";
    EXPECT_EQ(FileProblemText(p), "/x/a.dst [missing]");
    EXPECT_EQ(StationText(ChannelResultTextId(3)), "<Two Channel Success>");
    // The user dialogs' texts follow the same translator, where the rules compose them too.
    EXPECT_EQ(currentUserText(), "<Current User: No User Logs On>");
    EXPECT_EQ(userEnglishText(kIdsOperator), "Operator");
    SetTextTranslator(nullptr);
    EXPECT_EQ(StationText(ChannelResultTextId(3)), "Two Channel Success");
}

} // namespace
