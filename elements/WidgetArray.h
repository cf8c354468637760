#pragma once

#include <map>
#include <stdexcept>

// A group of child controls sharing one name, addressed by index: Option1(0), Command2(11).
// Their parent window owns them.
template<typename T>
class WidgetArray {
public:
    T* operator()(int index) const
    {
        auto it = m_items.find(index);
        if (it == m_items.end())
            throw std::out_of_range("no control at this index");
        return it->second;
    }
    void add(int index, T* widget) { m_items[index] = widget; }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }
    std::size_t size() const { return m_items.size(); }

private:
    std::map<int, T*> m_items;
};
