#pragma once

#include <memory>
#include <stdexcept>
#include <vector>

// The message of a checked access with an index past the end of an owning list.
inline constexpr const char* kListIndexError = "cTemplateList - to big item number";

// Owning, ordered list of records (markers, zones). Records live on the heap, so pointers to them
// stay valid while other records are added or removed.
template <class T>
class cMemWavAnyList {
public:
    cMemWavAnyList() = default;
    cMemWavAnyList(const cMemWavAnyList&) = delete;
    cMemWavAnyList& operator=(const cMemWavAnyList&) = delete;
    ~cMemWavAnyList() { Clear(); }

    int Count() const { return static_cast<int>(items.size()); }

    // Checked access: an index past the end throws the list error.
    T* At(int index) const
    {
        if (index < 0 || index >= Count())
            throw std::runtime_error(kListIndexError);
        return items[static_cast<size_t>(index)].get();
    }

    // Unchecked access for readers that test the result: null outside the list.
    T* Get(int index) const { return index >= 0 && index < Count() ? items[static_cast<size_t>(index)].get() : nullptr; }

    // Appends a new record with its creation values and returns it.
    T* Add() { return Add(std::make_unique<T>()); }
    T* Add(std::unique_ptr<T> item)
    {
        items.push_back(std::move(item));
        return items.back().get();
    }

    int IndexOf(const T* item) const
    {
        for (int i = 0; i < Count(); ++i)
            if (items[static_cast<size_t>(i)].get() == item)
                return i;
        return -1;
    }

    // Destroys the record at index (checked like At).
    void Delete(int index)
    {
        At(index);
        items.erase(items.begin() + index);
    }

    // Destroys the record when the list holds it; false when it does not.
    bool Remove(const T* item)
    {
        const int index = IndexOf(item);
        if (index < 0)
            return false;
        items.erase(items.begin() + index);
        return true;
    }

    // Destroys the records from the last to the first.
    void Clear()
    {
        while (!items.empty())
            items.pop_back();
    }

private:
    std::vector<std::unique_ptr<T>> items;
};
