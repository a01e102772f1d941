#include "engine/class_AnyList.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

// An element that records its destruction, to see what the list frees and in which order.
struct Tracked {
    static std::vector<int>* destroyed;
    int id = 0;
    ~Tracked()
    {
        if (destroyed)
            destroyed->push_back(id);
    }
};
std::vector<int>* Tracked::destroyed = nullptr;

struct AnyListTest : ::testing::Test {
    std::vector<int> destroyed;
    cAnyList<Tracked> list;
    void SetUp() override { Tracked::destroyed = &destroyed; }
    void TearDown() override
    {
        list.Clear();
        Tracked::destroyed = nullptr;
    }
    void Fill(int n)
    {
        for (int i = 0; i < n; ++i)
            list.Add()->id = i;
    }
    std::vector<int> Ids() const
    {
        std::vector<int> ids;
        for (const auto& item : list)
            ids.push_back(item->id);
        return ids;
    }
};

void ExpectTooBig(const cAnyList<Tracked>& list, int32_t index)
{
    try {
        list.At(index);
        ADD_FAILURE() << "At(" << index << ") did not throw";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "cTemplateList - to big item number") << index;
    }
}

TEST_F(AnyListTest, GetGivesNullOutsideTheListAndAtThrows)
{
    for (int32_t i : {-1, 0, 1})
        EXPECT_EQ(list.Get(i), nullptr) << i;
    ExpectTooBig(list, 0);
    Fill(3);
    for (int32_t i : {-2147483647 - 1, -1, 3, 4})
        EXPECT_EQ(list.Get(i), nullptr) << i;
    for (int32_t i : {-1, 3, -2147483647 - 1})
        ExpectTooBig(list, i);
    EXPECT_EQ(list.At(2)->id, 2);
    EXPECT_EQ(list.Get(0)->id, 0);
    EXPECT_EQ(list.Last()->id, 2);
}

TEST_F(AnyListTest, ClearDestroysEveryElementFromTheLast)
{
    Fill(3);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(destroyed, (std::vector<int>{2, 1, 0}));
    Fill(1); // the list is usable after a clear
    EXPECT_EQ(list.Count(), 1);
}

TEST_F(AnyListTest, RemovingThroughTheListDestroysOnlyThatElement)
{
    Fill(4);
    list.Delete(1);
    EXPECT_EQ(destroyed, (std::vector<int>{1}));
    EXPECT_EQ(Ids(), (std::vector<int>{0, 2, 3}));
    EXPECT_THROW(list.Delete(3), std::out_of_range);
    EXPECT_EQ(list.Count(), 3);
    Tracked* second = list.Get(1);
    EXPECT_TRUE(list.Remove(second));
    EXPECT_FALSE(list.Remove(second));
    EXPECT_EQ(Ids(), (std::vector<int>{0, 3}));
    for (int bad : {2, -1}) {
        try {
            list.At(bad);
            ADD_FAILURE() << bad;
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "cTemplateList - to big item number");
        }
    }
}

TEST_F(AnyListTest, InsertMoveAndExtractKeepElementsAlive)
{
    Fill(3);
    auto extra = std::make_unique<Tracked>();
    extra->id = 9;
    list.Insert(1, std::move(extra));
    EXPECT_EQ(Ids(), (std::vector<int>{0, 9, 1, 2}));
    list.Move(0, 3);
    EXPECT_EQ(Ids(), (std::vector<int>{9, 1, 2, 0}));
    list.Move(3, 1);
    EXPECT_EQ(Ids(), (std::vector<int>{9, 0, 1, 2}));
    EXPECT_THROW(list.Move(0, 4), std::out_of_range); // a bad target loses nothing
    EXPECT_EQ(Ids(), (std::vector<int>{9, 0, 1, 2}));
    auto outside = std::make_unique<Tracked>();
    outside->id = 42;
    EXPECT_THROW(list.Insert(5, std::move(outside)), std::out_of_range);
    std::unique_ptr<Tracked> taken = list.Extract(0);
    EXPECT_EQ(taken->id, 9);
    EXPECT_EQ(list.IndexOf(list.Get(2)), 2);
    EXPECT_EQ(list.IndexOf(taken.get()), -1);
    EXPECT_EQ(destroyed, (std::vector<int>{42})); // only the element that found no place
}

TEST_F(AnyListTest, SwapAndMoveHandOverOwnership)
{
    Fill(2);
    cAnyList<Tracked> other;
    other.Add()->id = 7;
    list.Swap(other);
    EXPECT_EQ(Ids(), (std::vector<int>{7}));
    EXPECT_EQ(other.Count(), 2);
    list = std::move(other);
    EXPECT_EQ(destroyed, (std::vector<int>{7}));
    EXPECT_EQ(Ids(), (std::vector<int>{0, 1}));
}

} // namespace
