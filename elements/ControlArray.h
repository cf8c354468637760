#pragma once

#include <map>
#include <memory>
#include <stdexcept>

// A group of elements sharing one name, addressed by index: Image1(2), shpK_Waku(0).
template<typename T>
class ControlArray {
public:
    T& operator()(int index) const
    {
        auto it = m_items.find(index);
        if (it == m_items.end())
            throw std::out_of_range("no element at this index");
        return *it->second;
    }
    bool contains(int index) const { return m_items.contains(index); }
    T& add(int index, std::unique_ptr<T> item) { return *(m_items[index] = std::move(item)); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }
    std::size_t size() const { return m_items.size(); }

private:
    std::map<int, std::unique_ptr<T>> m_items;
};
