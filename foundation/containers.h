// The list and stack templates: a doubly linked list of nodes that hold their
// element by value, behind a virtual collection interface, and a stack that
// pushes and pops at the list's tail.
//
// Element pointers handed out stay valid until their node is removed, and a
// cursor saves both neighbours when a node becomes current, so a walk may
// remove the node it stands on. The installer is built without run-time type
// information, so the type name in the empty-pop report comes from
// ElementTypeName, which must be specialised for every stack that pops.
//
// Every element type gets its own table of some thirty operations, and the
// installer is downloaded with each of them: so the linking, walking and
// freeing live once, untyped, in ListCore (list.cpp), and the typed
// operations only construct, copy and destroy elements around it.
#pragma once

#include <new>
#include <type_traits>

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


// A node's two links; its element lies right behind them.
struct ListLink {
    ListLink* prev;
    ListLink* next;
};

struct ListPosition {
    ListLink* node = nullptr;
    ListLink* next = nullptr;
    ListLink* prev = nullptr;
};

template <class T>
using ListCursor = ListPosition;

// The untyped list: value pointers point behind a node's links, and the
// element type's destructor (null for a type without one) is kept for
// whatever frees a node. Its operations are compiled once, out of line and
// with their plain calling convention, so that each typed operation is a jump.
#if defined(__has_attribute)
#if __has_attribute(noipa)
#define LIST_CORE __attribute__((noipa))
#else
#define LIST_CORE __attribute__((noinline))
#endif
#else
#define LIST_CORE
#endif

class ListCore {
public:
    typedef void (*Destroy)(void* value);

    explicit ListCore(Destroy destroy) : destroy_(destroy) {}

    static void* value_of(ListLink* link) { return link ? link + 1 : nullptr; }

    LIST_CORE bool begin(ListPosition& cursor);
    LIST_CORE bool begin_reverse(ListPosition& cursor);
    LIST_CORE void* first(ListPosition& cursor);
    LIST_CORE void* next(ListPosition& cursor);
    LIST_CORE void* last(ListPosition& cursor);
    LIST_CORE void* previous(ListPosition& cursor);
    LIST_CORE void* first_value();
    LIST_CORE void* last_value();
    LIST_CORE void* current(ListPosition& cursor);
    LIST_CORE void* peek_next(ListPosition& cursor);
    LIST_CORE void* peek_previous(ListPosition& cursor);
    // A new node with room for size bytes of element, linked at the tail or
    // the head; the caller constructs the element at the pointer returned.
    LIST_CORE void* add(size_t size);
    LIST_CORE void* add_first(size_t size);
    LIST_CORE void clear();
    LIST_CORE bool remove_at(ListPosition& cursor);
    LIST_CORE bool remove_first();
    LIST_CORE bool remove_last();
    LIST_CORE void rotate_forward(i32 n);
    LIST_CORE void rotate_backward(i32 n);
    LIST_CORE bool remove_first_n(i32 n);
    LIST_CORE bool remove_last_n(i32 n);
    LIST_CORE i32 truncate(i32 n);
    LIST_CORE i32 keep_last(i32 n);
    LIST_CORE void unlink(ListLink* link);

    // Frees the nodes of elements without a destructor. Inline, it shows the
    // optimiser that a list's destructor reads nothing of the object but its
    // nodes, and the table of a list that only a stack's destructor named
    // is dropped.
    static void free_plain_nodes(ListLink* link) {
        while (link) {
            ListLink* next = link->next;
            core_free(link);
            link = next;
        }
    }

    i32 count_ = 0;
    ListLink* head_ = nullptr;
    ListLink* tail_ = nullptr;

private:
    void* step_to(ListPosition& cursor, ListLink* link);
    void* attach(ListLink* link, bool at_head);
    void detach(ListLink* link);
    void rotate(i32 n, bool forward);

    Destroy destroy_;
};

// The operations in the order of their slots; only the five bulk operations
// are written here, in terms of the others.
template <class T>
class Collection {
public:
    typedef ListPosition Cursor;

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
    // remove_first_n and remove_last_n remove one element at a time and
    // answer false at the first that is missing; truncate keeps the first n
    // (none for n <= 0) and answers how many went. The list's core holds
    // the one implementation of each.
    virtual bool remove_first_n(i32 n) = 0;
    virtual bool remove_first() = 0;
    virtual bool remove_last_n(i32 n) = 0;
    virtual bool remove_last() = 0;
    virtual i32 truncate(i32 n) = 0;
    virtual T take_first() = 0;
    virtual T take_last() = 0;
    virtual T take_at(Cursor& cursor) = 0;
    virtual void rotate_forward(i32 n) = 0;
    virtual void rotate_backward(i32 n) = 0;

    virtual i32 count() const = 0;

};

// Each typed operation hands over to the core, the removals of several and
// truncate among them.
template <class T>
class List : public Collection<T> {
    static_assert(alignof(T) <= alignof(ListLink), "an element lies right behind its node's links");

public:
    typedef ListPosition Cursor;

    List() : core_(std::is_trivially_destructible<T>::value ? nullptr : &destroy) {}
    ~List() override {
        if (std::is_trivially_destructible<T>::value) ListCore::free_plain_nodes(core_.head_);
        else core_.clear();
    }
    List(const List&) = delete;
    List& operator=(const List&) = delete;

    i32 count() const override { return core_.count_; }
    bool is_empty() const { return core_.count_ == 0; }
    bool is_out_of_range(i32 i) const { return i < 0 || i >= core_.count_; }

    bool begin(Cursor& cursor) override { return core_.begin(cursor); }
    bool begin_reverse(Cursor& cursor) override { return core_.begin_reverse(cursor); }
    T* first(Cursor& cursor) override { return static_cast<T*>(core_.first(cursor)); }
    T* next(Cursor& cursor) override { return static_cast<T*>(core_.next(cursor)); }
    T* last(Cursor& cursor) override { return static_cast<T*>(core_.last(cursor)); }
    T* previous(Cursor& cursor) override { return static_cast<T*>(core_.previous(cursor)); }
    T* first_value() override { return static_cast<T*>(core_.first_value()); }
    T* last_value() override { return static_cast<T*>(core_.last_value()); }
    T* current(Cursor& cursor) override { return static_cast<T*>(core_.current(cursor)); }
    T* peek_next(Cursor& cursor) override { return static_cast<T*>(core_.peek_next(cursor)); }
    T* peek_previous(Cursor& cursor) override { return static_cast<T*>(core_.peek_previous(cursor)); }

    T* add(const T& value) override { return new (core_.add(sizeof(T))) T(value); }
    // A null source leaves the element value-initialised (zero for a plain
    // type) rather than holding whatever the heap had there.
    T* add(const T* value) override { return construct(core_.add(sizeof(T)), value); }
    T* add_first(const T& value) override { return new (core_.add_first(sizeof(T))) T(value); }
    T* add_first(const T* value) override { return construct(core_.add_first(sizeof(T)), value); }

    void clear() override { core_.clear(); }
    bool remove_at(Cursor& cursor) override { return core_.remove_at(cursor); }
    bool remove_first_n(i32 n) override { return core_.remove_first_n(n); }
    bool remove_first() override { return core_.remove_first(); }
    bool remove_last_n(i32 n) override { return core_.remove_last_n(n); }
    bool remove_last() override { return core_.remove_last(); }
    i32 truncate(i32 n) override { return core_.truncate(n); }
    T take_first() override { return take(core_.head_); }
    T take_last() override { return take(core_.tail_); }
    T take_at(Cursor& cursor) override {
        core_assert(cursor.node != nullptr);
        T value = take(cursor.node);
        cursor.node = nullptr;
        return value;
    }

    void rotate_forward(i32 n) override { core_.rotate_forward(n); }
    void rotate_backward(i32 n) override { core_.rotate_backward(n); }

protected:
    ListCore core_;

private:
    static void destroy(void* value) { static_cast<T*>(value)->~T(); }

    static T* construct(void* place, const T* value) { return value ? new (place) T(*value) : new (place) T(); }

    T take(ListLink* link) {
        if (!link) return T();
        T value(static_cast<T&&>(*static_cast<T*>(ListCore::value_of(link))));
        core_.unlink(link);
        return value;
    }
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
    i32 truncate(i32 n) override { return this->core_.keep_last(n); }
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
    ListPosition cursor_;
    T* value_;
};
