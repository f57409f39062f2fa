// The circular, doubly linked list behind the instance handles. Finding a
// record moves the head to it, so the instance used last is found first.
#pragma once

#include <cstdint>

namespace calidra {

class CCalidra;

// One registered instance. The node never destroys its instance: only
// Calidra_Release does.
struct CSDKDATA {
    std::uint32_t handle;
    CCalidra* instance;
    CSDKDATA* prev;
    CSDKDATA* next;
};

template <typename Record>
class CTRing {
public:
    CTRing() = default;
    CTRing(const CTRing&) = delete;
    CTRing& operator=(const CTRing&) = delete;
    // Frees the nodes only (not virtual: the chain adds no state of its own).
    ~CTRing() { RemoveAll(); }

    // Copies record into a new node in front of the old head (so the last node
    // keeps its place) and makes it the head.
    virtual Record* Add(const Record& record) {
        // The nodes are the list's own allocations, linked by raw pointers.
        Record* node = new Record(record);
        if (head == nullptr) {
            count = 1;
            head = node;
            node->next = node->prev = node;
        } else {
            count = count + 1;
            node->prev = head->prev;
            node->next = head;
            head->prev->next = node;
            head->prev = node;
            head = node;
        }
        return node;
    }

    // 1 and the head on the record when handle is registered. Otherwise 0, with
    // every node visited once and the head left on the node that preceded it.
    int Find(std::uint32_t handle) {
        if (head == nullptr) return 0;
        std::uint32_t last = head->prev->handle;
        for (;;) {
            if (head->handle == handle) return 1;
            if (head->handle == last) return 0;
            head = head->next;
        }
    }

    Record* Lookup(std::uint32_t handle) { return Find(handle) ? head : nullptr; }

    int RemoveHead() {
        if (head == nullptr) return 0;
        Record* old = head;
        if (old->next == old) {
            count = 0;
            head = nullptr;
        } else {
            count = count - 1;
            old->prev->next = old->next;
            old->next->prev = old->prev;
            head = old->next;
        }
        delete old;
        return 1;
    }

    void RemoveAll() {
        while (RemoveHead()) {
        }
    }

    Record* head = nullptr;
    std::int32_t count = 0;
};

}  // namespace calidra
