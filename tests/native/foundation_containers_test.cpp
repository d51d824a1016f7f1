// List, Stack and ListIterator: order after every kind of edit, walks that
// survive removing their current node, element pointers that stay put, and
// the fatal reports of an empty pop and a take without a current node.
#include "foundation/containers.h"
#include "foundation/string.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

using ::testing::ExitedWithCode;

template <class T>
std::vector<T> elements(Collection<T>& list) {
    std::vector<T> out;
    ListCursor<T> cursor;
    for (T* value = list.first(cursor); value; value = list.next(cursor)) out.push_back(*value);
    return out;
}

template <class T>
std::vector<T> elements_backwards(Collection<T>& list) {
    std::vector<T> out;
    ListCursor<T> cursor;
    for (T* value = list.last(cursor); value; value = list.previous(cursor)) out.push_back(*value);
    return out;
}

template <class L>
void fill(L& list, const std::string& chars) {
    for (char c : chars) list.add(static_cast<int>(c));
}

std::string text_of(List<int>& list) {
    std::string out;
    for (int value : elements(list)) out += static_cast<char>(value);
    return out;
}

TEST(List, AddAndAddFirstLinkBothDirections) {
    List<int> list;
    list.add(2);
    list.add(3);
    list.add_first(1);
    const int zero = 0;
    list.add_first(&zero);
    EXPECT_EQ(elements(list), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(elements_backwards(list), (std::vector<int>{3, 2, 1, 0}));
    EXPECT_EQ(list.count(), 4);
    EXPECT_EQ(*list.first_value(), 0);
    EXPECT_EQ(*list.last_value(), 3);
}

TEST(List, AddingFromANullPointerGivesAZeroElement) {
    List<int> list;
    EXPECT_EQ(*list.add(static_cast<const int*>(nullptr)), 0);
    EXPECT_EQ(*list.add_first(static_cast<const int*>(nullptr)), 0);
    List<String> texts;
    EXPECT_TRUE(texts.add(static_cast<const String*>(nullptr))->is_empty());
}

TEST(List, AnEmptyListHasNoValuesAnywhere) {
    List<int> list;
    ListCursor<int> cursor;
    EXPECT_TRUE(list.is_empty());
    EXPECT_FALSE(list.begin(cursor));
    EXPECT_FALSE(list.begin_reverse(cursor));
    EXPECT_EQ(list.first(cursor), nullptr);
    EXPECT_EQ(list.last(cursor), nullptr);
    EXPECT_EQ(list.first_value(), nullptr);
    EXPECT_EQ(list.last_value(), nullptr);
    EXPECT_EQ(list.current(cursor), nullptr);
    EXPECT_FALSE(list.remove_first());
    EXPECT_FALSE(list.remove_last());
    EXPECT_FALSE(list.remove_at(cursor));
    EXPECT_EQ(list.take_first(), 0);
    EXPECT_EQ(list.take_last(), 0);
    List<String> texts;
    EXPECT_TRUE(texts.take_first().is_empty());
}

TEST(List, CursorsSeeTheirNeighbours) {
    List<int> list;
    fill(list, "abc");
    ListCursor<int> cursor;
    EXPECT_TRUE(list.begin(cursor));
    EXPECT_EQ(list.current(cursor), nullptr);
    EXPECT_EQ(*list.peek_next(cursor), 'a');
    list.next(cursor);
    list.next(cursor);
    EXPECT_EQ(*list.current(cursor), 'b');
    EXPECT_EQ(*list.peek_next(cursor), 'c');
    EXPECT_EQ(*list.peek_previous(cursor), 'a');
    EXPECT_TRUE(list.begin_reverse(cursor));
    EXPECT_EQ(*list.peek_previous(cursor), 'c');
    EXPECT_EQ(*list.previous(cursor), 'c');
    EXPECT_EQ(list.peek_next(cursor), nullptr);
}

TEST(List, RemovingTheCurrentNodeKeepsTheWalkGoing) {
    List<int> list;
    fill(list, "abcd");
    ListCursor<int> cursor;
    std::string seen;
    for (int* value = list.first(cursor); value; value = list.next(cursor)) {
        seen += static_cast<char>(*value);
        if (*value == 'b' || *value == 'd') {
            EXPECT_TRUE(list.remove_at(cursor));
        }
    }
    EXPECT_EQ(seen, "abcd");
    EXPECT_EQ(text_of(list), "ac");
    EXPECT_FALSE(list.remove_at(cursor));
    // Backwards, removing the first node reached.
    EXPECT_EQ(*list.last(cursor), 'c');
    EXPECT_EQ(list.take_at(cursor), 'c');
    EXPECT_EQ(list.current(cursor), nullptr);
    EXPECT_EQ(*list.previous(cursor), 'a');
    EXPECT_EQ(text_of(list), "a");
}

TEST(List, TakeAtWithoutACurrentNodeIsAnAssertionReport) {
    List<int> list;
    fill(list, "ab");
    ListCursor<int> cursor;
    list.begin(cursor);
    EXPECT_EXIT(list.take_at(cursor), ExitedWithCode(1), "^foundation/containers.h [0-9]+\n$");
}

TEST(List, RotationMovesWholeNodesModuloTheCount) {
    struct Case {
        bool forward;
        i32 n;
        const char* start;
        const char* result;
    };
    const Case cases[] = {
        {true, 5, "abc", "cab"},  {true, 3, "abc", "abc"},  {true, 1, "abc", "bca"},
        {true, -1, "abc", "abc"}, {false, 1, "abc", "cab"}, {false, 5, "abc", "bca"},
        {false, -4, "abc", "abc"}, {true, 7, "a", "a"},     {true, 2, "", ""},
    };
    for (const Case& c : cases) {
        List<int> list;
        fill(list, c.start);
        if (c.forward) list.rotate_forward(c.n);
        else list.rotate_backward(c.n);
        EXPECT_EQ(text_of(list), c.result) << (c.forward ? "forward " : "backward ") << c.n;
        EXPECT_EQ(elements_backwards(list).size(), strlen(c.result));
    }
}

TEST(List, ElementPointersSurviveRotationAndOtherRemovals) {
    List<String> list;
    String* a = list.add(String("alpha"));
    String* b = list.add(String("beta"));
    list.add(String("gamma"));
    list.rotate_forward(2);
    list.remove_first();
    list.add_first(String("delta"));
    EXPECT_EQ(list.count(), 3);
    EXPECT_STREQ(a->text(), "alpha");
    EXPECT_STREQ(b->text(), "beta");
    EXPECT_EQ(list.first_value()->compare_no_case("delta"), 0);
}

TEST(List, TruncateKeepsTheFirstElementsAndStackKeepsTheLast) {
    struct Case {
        i32 n;
        i32 removed;
        const char* list_result;
        const char* stack_result;
    };
    const Case cases[] = {
        {2, 3, "ab", "de"}, {7, 0, "abcde", "abcde"}, {5, 0, "abcde", "abcde"},
        {4, 1, "abcd", "bcde"}, {0, 5, "", ""}, {-3, 5, "", ""},
    };
    for (const Case& c : cases) {
        List<int> list;
        fill(list, "abcde");
        EXPECT_EQ(list.truncate(c.n), c.removed) << "list truncate " << c.n;
        EXPECT_EQ(text_of(list), c.list_result) << "list truncate " << c.n;
        Stack<int> stack;
        fill(stack, "abcde");
        Collection<int>& as_collection = stack;
        EXPECT_EQ(as_collection.truncate(c.n), c.removed) << "stack truncate " << c.n;
        EXPECT_EQ(text_of(stack), c.stack_result) << "stack truncate " << c.n;
    }
}

TEST(List, RemoveNStopsAtTheFirstFailure) {
    List<int> list;
    fill(list, "abc");
    EXPECT_TRUE(list.remove_first_n(0));
    EXPECT_TRUE(list.remove_first_n(-2));
    EXPECT_TRUE(list.remove_last_n(1));
    EXPECT_EQ(text_of(list), "ab");
    EXPECT_FALSE(list.remove_first_n(3));
    EXPECT_TRUE(list.is_empty());
}

TEST(List, BulkAddsKeepTheOtherListsOrder) {
    List<int> list;
    fill(list, "ab");
    List<int> other;
    fill(other, "xy");
    list.add_all_first(other);
    EXPECT_EQ(text_of(list), "xyab");
    list.add_all(other);
    EXPECT_EQ(text_of(list), "xyabxy");
    EXPECT_EQ(text_of(other), "xy");
}

TEST(List, AddingAListToItselfDoublesIt) {
    List<int> list;
    fill(list, "ab");
    list.add_all(list);
    EXPECT_EQ(text_of(list), "abab");
    list.add_all_first(list);
    EXPECT_EQ(text_of(list), "abababab");
}

TEST(List, TakeCopiesTheValueOutAndFreesTheNode) {
    List<String> list;
    list.add(String("first"));
    list.add(String("last"));
    String last = list.take_last();
    String first = list.take_first();
    EXPECT_STREQ(first.text(), "first");
    EXPECT_STREQ(last.text(), "last");
    EXPECT_TRUE(list.is_empty());
}

TEST(List, OutOfRangeIsOutsideZeroToCount) {
    List<int> list;
    fill(list, "ab");
    EXPECT_TRUE(list.is_out_of_range(-1));
    EXPECT_FALSE(list.is_out_of_range(0));
    EXPECT_FALSE(list.is_out_of_range(1));
    EXPECT_TRUE(list.is_out_of_range(2));
}

TEST(Stack, PopsInReverseOrderOfPushing) {
    Stack<String> stack;
    stack.push(String("one"));
    stack.push(String("two"));
    EXPECT_STREQ(stack.pop().text(), "two");
    EXPECT_STREQ(stack.pop().text(), "one");
    EXPECT_TRUE(stack.is_empty());
}

template <class T>
void pop_empty() {
    Stack<T> stack;
    stack.pop();
}

TEST(Stack, PoppingAnEmptyStackNamesTheElementType) {
    EXPECT_EXIT(pop_empty<int>(), ExitedWithCode(1), "^Stack<int>::pop\n$");
    EXPECT_EXIT(pop_empty<void*>(), ExitedWithCode(1), "^Stack<void \\*>::pop\n$");
    EXPECT_EXIT(pop_empty<HKEY__*>(), ExitedWithCode(1), "^Stack<struct HKEY__ \\*>::pop\n$");
    EXPECT_EXIT(pop_empty<String>(), ExitedWithCode(1), "^Stack<class String>::pop\n$");
}

TEST(Stack, APopAfterTheLastElementIsFatal) {
    Stack<int> stack;
    stack.push(7);
    EXPECT_EQ(stack.pop(), 7);
    EXPECT_EXIT(stack.pop(), ExitedWithCode(1), "^Stack<int>::pop\n$");
}

TEST(ListIterator, WalksFromTheHeadUntilTheEnd) {
    List<int> list;
    fill(list, "abc");
    ListIterator<int> walk(&list);
    EXPECT_EQ(walk.value(), nullptr);
    std::string seen;
    while (walk.advance()) seen += static_cast<char>(*walk.value());
    EXPECT_EQ(seen, "abc");
    EXPECT_FALSE(walk.advance());
    EXPECT_EQ(walk.value(), nullptr);
}

TEST(ListIterator, WithoutACollectionItNeverAdvances) {
    ListIterator<int> walk(nullptr);
    EXPECT_FALSE(walk.advance());
    List<int> empty;
    ListIterator<int> over_empty(&empty);
    EXPECT_FALSE(over_empty.advance());
}

}  // namespace
