// The untyped part of List: linking, walking, rotating and freeing nodes.
// A node is one heap block: its two links, then the element, which the
// typed operations construct and copy in place.
#include "foundation/containers.h"

bool ListCore::begin(ListPosition& cursor) {
    cursor.node = nullptr;
    cursor.prev = nullptr;
    cursor.next = head_;
    return head_ != nullptr;
}

bool ListCore::begin_reverse(ListPosition& cursor) {
    cursor.node = nullptr;
    cursor.next = nullptr;
    cursor.prev = tail_;
    return tail_ != nullptr;
}

void* ListCore::step_to(ListPosition& cursor, ListLink* link) {
    if (!link) return nullptr;
    cursor.node = link;
    cursor.next = link->next;
    cursor.prev = link->prev;
    return link + 1;
}

void* ListCore::first(ListPosition& cursor) {
    begin(cursor);
    return step_to(cursor, cursor.next);
}

void* ListCore::next(ListPosition& cursor) { return step_to(cursor, cursor.next); }

void* ListCore::last(ListPosition& cursor) {
    begin_reverse(cursor);
    return step_to(cursor, cursor.prev);
}

void* ListCore::previous(ListPosition& cursor) { return step_to(cursor, cursor.prev); }

void* ListCore::first_value() { return value_of(head_); }

void* ListCore::last_value() { return value_of(tail_); }

void* ListCore::current(ListPosition& cursor) { return value_of(cursor.node); }

void* ListCore::peek_next(ListPosition& cursor) { return value_of(cursor.next); }

void* ListCore::peek_previous(ListPosition& cursor) { return value_of(cursor.prev); }

void* ListCore::attach(ListLink* link, bool at_head) {
    if (at_head) {
        link->prev = nullptr;
        link->next = head_;
        if (head_) head_->prev = link;
        else tail_ = link;
        head_ = link;
    } else {
        link->next = nullptr;
        link->prev = tail_;
        if (tail_) tail_->next = link;
        else head_ = link;
        tail_ = link;
    }
    ++count_;
    return link + 1;
}

void* ListCore::add(size_t size) {
    return attach(static_cast<ListLink*>(core_allocate(sizeof(ListLink) + size)), false);
}

void* ListCore::add_first(size_t size) {
    return attach(static_cast<ListLink*>(core_allocate(sizeof(ListLink) + size)), true);
}

void ListCore::detach(ListLink* link) {
    if (link->prev) link->prev->next = link->next;
    else head_ = link->next;
    if (link->next) link->next->prev = link->prev;
    else tail_ = link->prev;
    --count_;
}

void ListCore::unlink(ListLink* link) {
    detach(link);
    if (destroy_) destroy_(link + 1);
    core_free(link);
}

bool ListCore::remove_at(ListPosition& cursor) {
    if (!cursor.node) return false;
    unlink(cursor.node);
    cursor.node = nullptr;
    return true;
}

bool ListCore::remove_first() {
    if (!head_) return false;
    unlink(head_);
    return true;
}

bool ListCore::remove_last() {
    if (!tail_) return false;
    unlink(tail_);
    return true;
}

void ListCore::clear() {
    while (head_) unlink(head_);
}

void ListCore::rotate(i32 n, bool forward) {
    if (count_ < 2 || n < 0) return;
    for (i32 moves = n % count_; moves > 0; --moves) {
        ListLink* link = forward ? head_ : tail_;
        detach(link);
        attach(link, !forward);
    }
}

void ListCore::rotate_forward(i32 n) { rotate(n, true); }

void ListCore::rotate_backward(i32 n) { rotate(n, false); }

// A stack's truncate: the n elements pushed last stay.
i32 ListCore::keep_last(i32 n) {
    i32 old_count = count_;
    if (n <= 0) {
        clear();
        return old_count;
    }
    i32 removed = 0;
    while (count_ > n) {
        unlink(head_);
        ++removed;
    }
    return removed;
}

bool ListCore::remove_first_n(i32 n) {
    for (i32 i = 0; i < n; ++i) {
        if (!remove_first()) return false;
    }
    return true;
}

bool ListCore::remove_last_n(i32 n) {
    for (i32 i = 0; i < n; ++i) {
        if (!remove_last()) return false;
    }
    return true;
}

// A list's truncate: the first n elements stay.
i32 ListCore::truncate(i32 n) {
    i32 old_count = count_;
    if (n <= 0) {
        clear();
        return old_count;
    }
    i32 excess = old_count - n;
    if (excess < 1) return 0;
    remove_last_n(excess);
    return excess;
}
