// A view that follows the book list only through its change notices ends
// with exactly the rows the list holds, through a whole download and an
// incremental update, without ever reading the list again.
#include <gtest/gtest.h>

#include "catalogue/worker_harness.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

struct MirrorView {
    StringList rows;
    int selected = -1;
    int resets = 0;
    int inserted = 0;
    int insertNotices = 0;

    explicit MirrorView(ListModel& model) {
        model.onChange = [this, &model](const ListChange& c) {
            switch (c.kind) {
                case ListChange::kReset:
                    rows = model.items;
                    ++resets;
                    break;
                case ListChange::kInserted:
                    rows.insert(rows.begin() + c.first, model.items.begin() + c.first,
                                model.items.begin() + c.first + c.count);
                    inserted += c.count;
                    ++insertNotices;
                    break;
                case ListChange::kRemoved:
                    rows.erase(rows.begin() + c.first, rows.begin() + c.first + c.count);
                    break;
                case ListChange::kChanged:
                    for (int i = c.first; i < c.first + c.count; ++i) rows[i] = model.items[i];
                    break;
                case ListChange::kSelected:
                    selected = model.itemIndex;
                    break;
            }
        };
    }
};

}  // namespace

TEST(ListViews, FollowAnIncrementalUpdateRowByRow) {
    WorkerHarness h;
    auto& c = h.content();
    const demo::Category cat = c.CategoryAt(demo::Site::Duowan, 1);
    const std::string name = Gbk(cat.name);
    MirrorView view(h.f1().ListBox2);

    ASSERT_TRUE(h.RunBookList(Site::Duowan, cat.url, name));
    EXPECT_EQ(view.rows, h.f1().ListBox2.items);
    EXPECT_EQ(view.selected, 0);
    const int first = view.resets;

    // New books arrive on two pages: the view hears of exactly those rows.
    h.sites.AddBooks(demo::Site::Duowan, 1, 25);
    view.inserted = 0;
    view.insertNotices = 0;
    ASSERT_TRUE(h.RunBookList(Site::Duowan, cat.url, name));
    EXPECT_EQ(view.rows, h.f1().ListBox2.items);
    EXPECT_EQ(view.inserted, 25);
    // In one run: a view of a long list shifts its rows once, not once a book.
    EXPECT_EQ(view.insertNotices, 1);
    EXPECT_EQ(view.resets, first);
    EXPECT_EQ(view.selected, 0);

    // Deleting and replacing rows keeps the view in step too.
    h.f1().ListBox2.Select(3);
    h.f1().ListBox2.Delete(1);
    h.f1().ListBox2.Set(0, "x");
    h.f1().ListBox2.InsertMany(2, {"a", "b"});
    EXPECT_EQ(view.rows, h.f1().ListBox2.items);
    EXPECT_EQ(view.selected, h.f1().ListBox2.itemIndex);
    EXPECT_EQ(h.f1().ListBox2.Selected(), h.f1().ListBox2.items[4]);
}
