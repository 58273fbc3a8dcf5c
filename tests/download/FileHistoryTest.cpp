#include <gtest/gtest.h>

#include "download/FileHistory.h"
#include "download/HistoryDisplayName.h"
#include "window/FormState.h"

namespace mirvok {
namespace {

std::vector<std::string> Paths(const FormState& form) {
    std::vector<std::string> paths;
    for (const auto& item : form.WorkFileList.Items) paths.push_back(item.text);
    return paths;
}

void ExpectParallel(const FormState& form) {
    ASSERT_EQ(form.FileNameList.ListCount(), form.WorkFileList.ListCount());
    for (int i = 0; i < form.WorkFileList.ListCount(); ++i)
        EXPECT_EQ(form.FileNameList.Items[static_cast<std::size_t>(i)].text,
                  HistoryDisplayName(form.WorkFileList.Items[static_cast<std::size_t>(i)].text));
}

TEST(AddToFileHistory, PutsThePathOnTopOnceAndKeepsTwentyEntries) {
    FormState form;
    for (const char* path : {"/rom/c.rom", "/rom/b.rom", "/rom/a.rom"}) AddToFileHistory(form, path);
    EXPECT_EQ(Paths(form), (std::vector<std::string>{"/rom/a.rom", "/rom/b.rom", "/rom/c.rom"}));
    EXPECT_EQ(form.WorkFileList.ListIndex, 0);

    AddToFileHistory(form, "  /rom/c.rom ");  // the third again, with blanks around it
    EXPECT_EQ(Paths(form), (std::vector<std::string>{"/rom/c.rom", "/rom/a.rom", "/rom/b.rom"}));

    AddToFileHistory(form, "/rom/A.rom");  // letter case counts
    EXPECT_EQ(form.WorkFileList.ListCount(), 4);

    for (int i = 0; i < 30; ++i)
        AddToFileHistory(form,
                         "/rom/a/long/path/to/the/firmware/of/the/reader/file" + std::to_string(i) + ".rom");
    EXPECT_EQ(form.WorkFileList.ListCount(), kMaxHistoryEntries);
    EXPECT_EQ(form.WorkFileList.Items->front().text,
              "/rom/a/long/path/to/the/firmware/of/the/reader/file29.rom");
    EXPECT_EQ(form.WorkFileList.Items->back().text,
              "/rom/a/long/path/to/the/firmware/of/the/reader/file10.rom");
    ExpectParallel(form);
    EXPECT_NE(form.FileNameList.Items->front().text, form.WorkFileList.Items->front().text)
        << "long names are shortened";
}

}  // namespace
}  // namespace mirvok
