#pragma once

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <typeindex>
#include <utility>
#include <vector>

namespace krl {

// The program's settings in memory: one copy of each settings block, the one place that
// changes a block, and the one place that stores it. A block is any copyable record (the Comms
// block, the Video block, a window's placement record); main() adds each with the functions
// that load it from and store it to the settings file, so this model knows no block and no file.
//
// Who reads a block takes a copy or reads it here; who wants to hear of a change subscribes and
// is told after every set(). Nobody else keeps a pointer into a block to write through.
class Settings {
public:
    template <class Block>
    struct Persistence {
        std::function<Block()> load;
        std::function<bool(const Block&)> store;
    };

    // Ends a subscription when it goes (or earlier, by reset()).
    class Subscription {
    public:
        Subscription() = default;
        Subscription(std::shared_ptr<void> token) : token_(std::move(token)) {}
        void reset() { token_.reset(); }

    private:
        std::shared_ptr<void> token_;
    };

    // Adds a block and loads it at once.
    template <class Block>
    void add(Persistence<Block> persistence) {
        if (!has<Block>())
            order_.push_back(typeid(Block));
        Entry& e = entries_[typeid(Block)];
        e.value = persistence.load();
        e.store = [this, store = std::move(persistence.store)] { return store(get<Block>()); };
        e.reload = [load = std::move(persistence.load)]() -> std::any { return load(); };
    }
    // Adds a block that lives only in memory (stored by nobody).
    template <class Block>
    void addTransient(Block initial) {
        entries_[typeid(Block)].value = std::move(initial);
    }

    template <class Block>
    bool has() const {
        return entries_.count(typeid(Block)) != 0;
    }
    // The block; it must have been added.
    template <class Block>
    const Block& get() const {
        return *std::any_cast<Block>(&entries_.at(typeid(Block)).value);
    }
    // Replaces the block in memory and tells the subscribers; nothing is stored.
    template <class Block>
    void set(Block value) {
        entries_.at(typeid(Block)).value = std::move(value);
        notify<Block>();
    }
    // Changes one part of the block in memory (and tells the subscribers).
    template <class Block, class Change>
    void update(Change&& change) {
        Block copy = get<Block>();
        change(copy);
        set(std::move(copy));
    }
    // Stores the block as it is in memory; false when the file could not be written.
    template <class Block>
    bool store() {
        const Entry& e = entries_.at(typeid(Block));
        return !e.store || e.store();
    }
    // Sets, stores and loads back (what the file holds is what the program then uses).
    template <class Block>
    bool setAndStore(Block value) {
        entries_.at(typeid(Block)).value = std::move(value);
        bool ok = store<Block>();
        Entry& e = entries_.at(typeid(Block));
        if (e.reload)
            e.value = e.reload();
        notify<Block>();
        return ok;
    }
    // Stores every block that has a store, in the order they were added.
    bool storeAll();

    // Told with the new block after every change of it.
    template <class Block>
    [[nodiscard]] Subscription subscribe(std::function<void(const Block&)> listener) {
        auto token = std::make_shared<int>(0);
        listeners_[typeid(Block)].push_back(
            {token, [listener = std::move(listener)](const std::any& v) {
                 listener(*std::any_cast<Block>(&v));
             }});
        return Subscription(token);
    }

private:
    struct Entry {
        std::any value;
        std::function<bool()> store;
        std::function<std::any()> reload;
    };
    struct Listener {
        std::weak_ptr<void> alive;
        std::function<void(const std::any&)> call;
    };

    template <class Block>
    void notify() {
        auto it = listeners_.find(typeid(Block));
        if (it == listeners_.end())
            return;
        // A listener may subscribe or unsubscribe others: call a copy of the list.
        const std::vector<Listener> now = it->second;
        for (const Listener& l : now) {
            if (!l.alive.expired())
                l.call(entries_.at(typeid(Block)).value);
        }
        std::erase_if(listeners_[typeid(Block)],
                      [](const Listener& l) { return l.alive.expired(); });
    }

    std::map<std::type_index, Entry> entries_;
    std::map<std::type_index, std::vector<Listener>> listeners_;
    std::vector<std::type_index> order_;  // blocks with a store, as added
};

}  // namespace krl
