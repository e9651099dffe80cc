#include "standins/runtime/RuntimeObjects.h"

#include <optional>
#include <utility>

#include "standins/runtime/Clock.h"

namespace standin {
namespace {

// Handles carry a table tag, a generation and a slot, so a destroyed or foreign handle is
// recognised instead of reaching a reused slot.
template <typename T, size_t N, uint64_t Tag>
class HandleTable {
public:
    uint64_t Add(T value) {
        for (size_t i = 0; i < N; ++i) {
            Slot& slot = slots_[i];
            if (!slot.value) {
                ++slot.generation;
                slot.value = std::move(value);
                return (Tag << 56) | (static_cast<uint64_t>(slot.generation) << 16) | (i + 1);
            }
        }
        return 0;
    }

    T* Find(uint64_t handle) {
        Slot* slot = SlotOf(handle);
        return slot != nullptr ? &*slot->value : nullptr;
    }

    void Remove(uint64_t handle) {
        if (Slot* slot = SlotOf(handle); slot != nullptr) {
            slot->value.reset();
        }
    }

    template <typename Predicate>
    void RemoveIf(Predicate predicate) {
        for (Slot& slot : slots_) {
            if (slot.value && predicate(*slot.value)) {
                slot.value.reset();
            }
        }
    }

    template <typename Predicate>
    bool Any(Predicate predicate) const {
        for (const Slot& slot : slots_) {
            if (slot.value && predicate(*slot.value)) {
                return true;
            }
        }
        return false;
    }

private:
    struct Slot {
        uint32_t generation = 0;
        std::optional<T> value;
    };

    Slot* SlotOf(uint64_t handle) {
        const uint64_t index = (handle & 0xffff) - 1;
        if ((handle >> 56) != Tag || index >= N) {
            return nullptr;
        }
        Slot& slot = slots_[index];
        const auto generation = static_cast<uint32_t>((handle >> 16) & 0xffffffff);
        return slot.value && slot.generation == generation ? &slot : nullptr;
    }

    std::array<Slot, N> slots_{};
};

HandleTable<Instance, 1, 1> instances;
HandleTable<Session, 1, 2> sessions;
HandleTable<Space, 64, 3> spaces;
HandleTable<Swapchain, 16, 4> swapchains;
HandleTable<ActionSet, 16, 5> actionSets;
HandleTable<Action, 64, 6> actions;

template <typename Handle>
uint64_t Raw(Handle handle) {
    return reinterpret_cast<uint64_t>(handle);
}

template <typename Handle>
Handle Typed(uint64_t raw) {
    return reinterpret_cast<Handle>(raw);
}

}  // namespace

Instance* FindInstance(XrInstance handle) {
    return instances.Find(Raw(handle));
}
Session* FindSession(XrSession handle) {
    return sessions.Find(Raw(handle));
}
Space* FindSpace(XrSpace handle) {
    return spaces.Find(Raw(handle));
}
Swapchain* FindSwapchain(XrSwapchain handle) {
    return swapchains.Find(Raw(handle));
}
ActionSet* FindActionSet(XrActionSet handle) {
    return actionSets.Find(Raw(handle));
}
Action* FindAction(XrAction handle) {
    return actions.Find(Raw(handle));
}

XrInstance AddInstance(Instance instance) {
    return Typed<XrInstance>(instances.Add(std::move(instance)));
}
XrSession AddSession(Session session) {
    return Typed<XrSession>(sessions.Add(std::move(session)));
}
XrSpace AddSpace(Space space) {
    return Typed<XrSpace>(spaces.Add(space));
}
XrSwapchain AddSwapchain(Swapchain swapchain) {
    return Typed<XrSwapchain>(swapchains.Add(std::move(swapchain)));
}
XrActionSet AddActionSet(ActionSet actionSet) {
    return Typed<XrActionSet>(actionSets.Add(std::move(actionSet)));
}
XrAction AddAction(Action action) {
    return Typed<XrAction>(actions.Add(std::move(action)));
}

void RemoveInstance(XrInstance handle) {
    actions.RemoveIf([&](const Action& action) {
        const ActionSet* set = FindActionSet(action.actionSet);
        return set == nullptr || set->instance == handle;
    });
    actionSets.RemoveIf([&](const ActionSet& set) { return set.instance == handle; });
    instances.Remove(Raw(handle));
}

void RemoveSession(XrSession handle) {
    spaces.RemoveIf([&](const Space& space) { return space.session == handle; });
    swapchains.RemoveIf([&](const Swapchain& swapchain) { return swapchain.session == handle; });
    if (Session* session = FindSession(handle); session != nullptr) {
        // Events of a destroyed session must not reach the application.
        if (Instance* instance = FindInstance(session->instance); instance != nullptr) {
            std::erase_if(instance->events, [&](const XrEventDataSessionStateChanged& event) {
                return event.session == handle;
            });
        }
    }
    sessions.Remove(Raw(handle));
}

void RemoveSpace(XrSpace handle) {
    spaces.Remove(Raw(handle));
}
void RemoveSwapchain(XrSwapchain handle) {
    swapchains.Remove(Raw(handle));
}

void RemoveActionSet(XrActionSet handle) {
    actions.RemoveIf([&](const Action& action) { return action.actionSet == handle; });
    actionSets.Remove(Raw(handle));
}

void RemoveAction(XrAction handle) {
    actions.Remove(Raw(handle));
}

bool AnyActionSetAttached(XrInstance instance) {
    return actionSets.Any(
        [&](const ActionSet& set) { return set.instance == instance && set.attached; });
}

bool AnyActionSetOf(XrInstance instance, const std::string& name,
                    const std::string& localizedName) {
    return actionSets.Any([&](const ActionSet& set) {
        return set.instance == instance && (set.name == name || set.localizedName == localizedName);
    });
}

bool AnyActionOf(XrActionSet actionSet, const std::string& name, const std::string& localizedName) {
    return actions.Any([&](const Action& action) {
        return action.actionSet == actionSet &&
               (action.name == name || action.localizedName == localizedName);
    });
}

bool AnyInstance() {
    return instances.Any([](const Instance&) { return true; });
}

bool AnySessionOf(XrInstance instance) {
    return sessions.Any([&](const Session& session) { return session.instance == instance; });
}

void QueueSessionState(XrSession handle, XrSessionState state) {
    Session* session = FindSession(handle);
    Instance* instance = session != nullptr ? FindInstance(session->instance) : nullptr;
    if (instance == nullptr) {
        return;
    }
    session->queued = state;
    XrEventDataSessionStateChanged event{};
    event.type = XR_TYPE_EVENT_DATA_SESSION_STATE_CHANGED;
    event.session = handle;
    event.state = state;
    event.time = MonotonicNow();
    instance->events.push_back(event);
}

void QueueSessionStop(XrSession handle) {
    Session* session = FindSession(handle);
    if (session == nullptr || session->exitRequested) {
        return;
    }
    session->exitRequested = true;
    // The session steps down through the states it went up through.
    if (session->queued == XR_SESSION_STATE_FOCUSED) {
        QueueSessionState(handle, XR_SESSION_STATE_VISIBLE);
    }
    if (session->queued == XR_SESSION_STATE_VISIBLE) {
        QueueSessionState(handle, XR_SESSION_STATE_SYNCHRONIZED);
    }
    QueueSessionState(handle, XR_SESSION_STATE_STOPPING);
}

}  // namespace standin
