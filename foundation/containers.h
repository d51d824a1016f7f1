// The list and stack templates: a doubly linked list of nodes that hold their
// element by value, behind a virtual collection interface, and a stack that
// pushes and pops at the list's tail.
//
// Element pointers handed out stay valid until their node is removed, and a
// cursor saves both neighbours when a node becomes current, so a walk may
// remove the node it stands on. The installer is built without run-time type
// information, so the type name in the empty-pop report comes from
// ElementTypeName, which must be specialised for every stack that pops.
#pragma once

#include "foundation/core.h"

class String;
struct HKEY__;

template <class T>
struct ElementTypeName;

template <>
struct ElementTypeName<int> {
    static const char* get() { return "int"; }
};
template <>
struct ElementTypeName<void*> {
    static const char* get() { return "void *"; }
};
template <>
struct ElementTypeName<HKEY__*> {
    static const char* get() { return "struct HKEY__ *"; }
};
template <>
struct ElementTypeName<String> {
    static const char* get() { return "class String"; }
};

template <class T>
struct ListNode {
    ListNode* prev;
    ListNode* next;
    T value;
};

template <class T>
struct ListCursor {
    ListNode<T>* node = nullptr;
    ListNode<T>* next = nullptr;
    ListNode<T>* prev = nullptr;
};

// The operations in the order of their slots; only the five bulk operations
// are written here, in terms of the others.
template <class T>
class Collection {
public:
    typedef ListCursor<T> Cursor;

    virtual ~Collection() {}

    virtual bool begin(Cursor& cursor) = 0;
    virtual bool begin_reverse(Cursor& cursor) = 0;
    virtual T* first(Cursor& cursor) = 0;
    virtual T* next(Cursor& cursor) = 0;
    virtual T* last(Cursor& cursor) = 0;
    virtual T* previous(Cursor& cursor) = 0;
    virtual T* first_value() = 0;
    virtual T* last_value() = 0;
    virtual T* current(Cursor& cursor) = 0;
    virtual T* peek_next(Cursor& cursor) = 0;
    virtual T* peek_previous(Cursor& cursor) = 0;
    virtual T* add(const T& value) = 0;
    virtual T* add(const T* value) = 0;
    // Both bulk adds take as many elements as other held when they began, so
    // that adding a collection to itself doubles it instead of never ending.
    virtual void add_all(Collection& other) {
        Cursor cursor;
        T* value = other.first(cursor);
        for (i32 left = other.count(); value && left > 0; --left, value = other.next(cursor)) add(value);
    }
    virtual T* add_first(const T& value) = 0;
    virtual T* add_first(const T* value) = 0;
    virtual void add_all_first(Collection& other) {
        Cursor cursor;
        T* value = other.last(cursor);
        for (i32 left = other.count(); value && left > 0; --left, value = other.previous(cursor))
            add_first(value);
    }
    virtual void clear() = 0;
    virtual bool remove_at(Cursor& cursor) = 0;
    virtual bool remove_first_n(i32 n) {
        for (i32 i = 0; i < n; ++i) {
            if (!remove_first()) return false;
        }
        return true;
    }
    virtual bool remove_first() = 0;
    virtual bool remove_last_n(i32 n) {
        for (i32 i = 0; i < n; ++i) {
            if (!remove_last()) return false;
        }
        return true;
    }
    virtual bool remove_last() = 0;
    virtual i32 truncate(i32 n) {
        i32 old_count = count();
        if (n <= 0) {
            clear();
            return old_count;
        }
        i32 excess = old_count - n;
        if (excess < 1) return 0;
        remove_last_n(excess);
        return excess;
    }
    virtual T take_first() = 0;
    virtual T take_last() = 0;
    virtual T take_at(Cursor& cursor) = 0;
    virtual void rotate_forward(i32 n) = 0;
    virtual void rotate_backward(i32 n) = 0;

    virtual i32 count() const = 0;
};

template <class T>
class List : public Collection<T> {
public:
    typedef ListNode<T> Node;
    typedef ListCursor<T> Cursor;

    List() : count_(0), head_(nullptr), tail_(nullptr) {}
    ~List() override { clear(); }
    List(const List&) = delete;
    List& operator=(const List&) = delete;

    i32 count() const override { return count_; }
    bool is_empty() const { return count_ == 0; }
    bool is_out_of_range(i32 i) const { return i < 0 || i >= count_; }

    bool begin(Cursor& cursor) override {
        cursor.node = nullptr;
        cursor.prev = nullptr;
        cursor.next = head_;
        return head_ != nullptr;
    }
    bool begin_reverse(Cursor& cursor) override {
        cursor.node = nullptr;
        cursor.next = nullptr;
        cursor.prev = tail_;
        return tail_ != nullptr;
    }
    T* first(Cursor& cursor) override {
        begin(cursor);
        return next(cursor);
    }
    T* next(Cursor& cursor) override { return step_to(cursor, cursor.next); }
    T* last(Cursor& cursor) override {
        begin_reverse(cursor);
        return previous(cursor);
    }
    T* previous(Cursor& cursor) override { return step_to(cursor, cursor.prev); }
    T* first_value() override { return value_of(head_); }
    T* last_value() override { return value_of(tail_); }
    T* current(Cursor& cursor) override { return value_of(cursor.node); }
    T* peek_next(Cursor& cursor) override { return value_of(cursor.next); }
    T* peek_previous(Cursor& cursor) override { return value_of(cursor.prev); }

    T* add(const T& value) override { return &link_last(new Node{nullptr, nullptr, value})->value; }
    // A null source leaves the element value-initialised (zero for a plain
    // type) rather than holding whatever the heap had there.
    T* add(const T* value) override { return &link_last(make_node(value))->value; }
    T* add_first(const T& value) override {
        return &link_first(new Node{nullptr, nullptr, value})->value;
    }
    T* add_first(const T* value) override { return &link_first(make_node(value))->value; }

    void clear() override {
        while (head_) unlink(head_);
    }
    bool remove_at(Cursor& cursor) override {
        if (!cursor.node) return false;
        unlink(cursor.node);
        cursor.node = nullptr;
        return true;
    }
    bool remove_first() override {
        if (!head_) return false;
        unlink(head_);
        return true;
    }
    bool remove_last() override {
        if (!tail_) return false;
        unlink(tail_);
        return true;
    }
    T take_first() override { return take_node(head_); }
    T take_last() override { return take_node(tail_); }
    T take_at(Cursor& cursor) override {
        core_assert(cursor.node != nullptr);
        T value = take_node(cursor.node);
        cursor.node = nullptr;
        return value;
    }

    void rotate_forward(i32 n) override {
        if (count_ < 2 || n < 0) return;
        for (i32 moves = n % count_; moves > 0; --moves) {
            Node* node = head_;
            detach(node);
            attach_last(node);
        }
    }
    void rotate_backward(i32 n) override {
        if (count_ < 2 || n < 0) return;
        for (i32 moves = n % count_; moves > 0; --moves) {
            Node* node = tail_;
            detach(node);
            attach_first(node);
        }
    }

private:
    static T* value_of(Node* node) { return node ? &node->value : nullptr; }

    static Node* make_node(const T* value) {
        return value ? new Node{nullptr, nullptr, *value} : new Node{nullptr, nullptr, T()};
    }

    T* step_to(Cursor& cursor, Node* node) {
        if (!node) return nullptr;
        cursor.node = node;
        cursor.next = node->next;
        cursor.prev = node->prev;
        return &node->value;
    }

    Node* link_last(Node* node) {
        attach_last(node);
        return node;
    }
    Node* link_first(Node* node) {
        attach_first(node);
        return node;
    }

    void attach_last(Node* node) {
        node->next = nullptr;
        node->prev = tail_;
        if (tail_) tail_->next = node;
        else head_ = node;
        tail_ = node;
        ++count_;
    }
    void attach_first(Node* node) {
        node->prev = nullptr;
        node->next = head_;
        if (head_) head_->prev = node;
        else tail_ = node;
        head_ = node;
        ++count_;
    }
    void detach(Node* node) {
        if (node->prev) node->prev->next = node->next;
        else head_ = node->next;
        if (node->next) node->next->prev = node->prev;
        else tail_ = node->prev;
        --count_;
    }
    void unlink(Node* node) {
        detach(node);
        delete node;
    }

    T take_node(Node* node) {
        if (!node) return T();
        T value = node->value;
        unlink(node);
        return value;
    }

    i32 count_;
    Node* head_;
    Node* tail_;
};

template <class T>
class Stack : public List<T> {
public:
    void push(const T& value) { this->add(value); }

    T pop() {
        if (this->count() < 1) fatal_error("Stack<%s>::pop", ElementTypeName<T>::get());
        return this->take_last();
    }

    // A stack keeps the n elements pushed last.
    i32 truncate(i32 n) override {
        i32 old_count = this->count();
        if (n <= 0) {
            this->clear();
            return old_count;
        }
        i32 removed = 0;
        while (this->count() > n) {
            this->remove_first();
            ++removed;
        }
        return removed;
    }
};

// Walks a collection from its head: while advance() is true, value() is the
// element reached.
template <class T>
class ListIterator {
public:
    explicit ListIterator(Collection<T>* collection) : collection_(collection), value_(nullptr) {
        if (collection_) collection_->begin(cursor_);
    }

    bool advance() {
        if (!collection_) return false;
        value_ = collection_->next(cursor_);
        return value_ != nullptr;
    }

    T* value() const { return value_; }

private:
    Collection<T>* collection_;
    ListCursor<T> cursor_;
    T* value_;
};
