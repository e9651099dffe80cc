// Actions with no input device behind them: everything an application sets up is checked and
// kept, every input reads as inactive, haptic output is accepted and dropped.

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "standins/runtime/Functions.h"
#include "standins/runtime/RuntimeObjects.h"

namespace standin {
namespace {

constexpr std::string_view kTopLevelUserPaths[] = {
    "/user/hand/left", "/user/hand/right", "/user/head", "/user/gamepad", "/user/treadmill"};

// Action and action set names are single path elements.
XrResult CheckName(const char* name, size_t capacity) {
    const size_t length = strnlen(name, capacity);
    if (length == 0) {
        return XR_ERROR_NAME_INVALID;
    }
    const bool wellFormed = length < capacity && std::all_of(name, name + length, [](char c) {
                                return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                       c == '-' || c == '_' || c == '.';
                            });
    return wellFormed ? XR_SUCCESS : XR_ERROR_PATH_FORMAT_INVALID;
}

bool IsValidLocalizedName(const char* name, size_t capacity) {
    const size_t length = strnlen(name, capacity);
    return length != 0 && length != capacity;
}

// The text of a path of the instance, nullptr for a path it never made.
const std::string* PathText(const Instance& instance, XrPath path) {
    if (path == XR_NULL_PATH || path > instance.paths.size()) {
        return nullptr;
    }
    return &instance.paths[path - 1];
}

bool IsTopLevelUserPath(const std::string& text) {
    return std::find(std::begin(kTopLevelUserPaths), std::end(kTopLevelUserPaths), text) !=
           std::end(kTopLevelUserPaths);
}

bool StartsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

const Instance* InstanceOfSession(const Session& session) {
    return FindInstance(session.instance);
}

// The action of an action query of `session`, checked the way every query checks it.
XrResult FindQueriedAction(const Session& session, XrAction handle, XrPath subactionPath,
                           const Action*& action) {
    action = FindAction(handle);
    const ActionSet* set = action != nullptr ? FindActionSet(action->actionSet) : nullptr;
    if (set == nullptr || set->instance != session.instance) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (!set->attached || !session.actionSetsAttached) {
        return XR_ERROR_ACTIONSET_NOT_ATTACHED;
    }
    if (subactionPath != XR_NULL_PATH &&
        std::find(action->subactionPaths.begin(), action->subactionPaths.end(), subactionPath) ==
            action->subactionPaths.end()) {
        return XR_ERROR_PATH_UNSUPPORTED;
    }
    return XR_SUCCESS;
}

template <typename State>
XrResult InactiveState(XrSession session, const XrActionStateGetInfo* getInfo, State* state,
                       XrStructureType stateType, XrActionType actionType) {
    const Session* owner = FindSession(session);
    if (owner == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (getInfo == nullptr || state == nullptr || getInfo->type != XR_TYPE_ACTION_STATE_GET_INFO ||
        state->type != stateType) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    const Action* action = nullptr;
    if (const XrResult result =
            FindQueriedAction(*owner, getInfo->action, getInfo->subactionPath, action);
        XR_FAILED(result)) {
        return result;
    }
    if (action->type != actionType) {
        return XR_ERROR_ACTION_TYPE_MISMATCH;
    }
    void* next = state->next;
    *state = State{};
    state->type = stateType;
    state->next = next;
    return XR_SUCCESS;
}

XrResult CheckHaptic(XrSession session, const XrHapticActionInfo* info, const Session*& owner) {
    owner = FindSession(session);
    if (owner == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (info == nullptr || info->type != XR_TYPE_HAPTIC_ACTION_INFO) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    const Action* action = nullptr;
    if (const XrResult result =
            FindQueriedAction(*owner, info->action, info->subactionPath, action);
        XR_FAILED(result)) {
        return result;
    }
    return action->type == XR_ACTION_TYPE_VIBRATION_OUTPUT ? XR_SUCCESS
                                                           : XR_ERROR_ACTION_TYPE_MISMATCH;
}

}  // namespace

XrResult XRAPI_CALL CreateActionSet(XrInstance instance, const XrActionSetCreateInfo* createInfo,
                                    XrActionSet* actionSet) {
    if (FindInstance(instance) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (createInfo == nullptr || actionSet == nullptr ||
        createInfo->type != XR_TYPE_ACTION_SET_CREATE_INFO) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (const XrResult result = CheckName(createInfo->actionSetName, XR_MAX_ACTION_SET_NAME_SIZE);
        XR_FAILED(result)) {
        return result;
    }
    if (!IsValidLocalizedName(createInfo->localizedActionSetName,
                              XR_MAX_LOCALIZED_ACTION_SET_NAME_SIZE)) {
        return XR_ERROR_LOCALIZED_NAME_INVALID;
    }
    ActionSet created;
    created.instance = instance;
    created.name = createInfo->actionSetName;
    created.localizedName = createInfo->localizedActionSetName;
    if (AnyActionSetOf(instance, created.name, "")) {
        return XR_ERROR_NAME_DUPLICATED;
    }
    if (AnyActionSetOf(instance, "", created.localizedName)) {
        return XR_ERROR_LOCALIZED_NAME_DUPLICATED;
    }
    const XrActionSet handle = AddActionSet(std::move(created));
    if (handle == XR_NULL_HANDLE) {
        return XR_ERROR_LIMIT_REACHED;
    }
    *actionSet = handle;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL DestroyActionSet(XrActionSet actionSet) {
    if (FindActionSet(actionSet) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    RemoveActionSet(actionSet);
    return XR_SUCCESS;
}

XrResult XRAPI_CALL CreateAction(XrActionSet actionSet, const XrActionCreateInfo* createInfo,
                                 XrAction* action) {
    const ActionSet* set = FindActionSet(actionSet);
    if (set == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (createInfo == nullptr || action == nullptr ||
        createInfo->type != XR_TYPE_ACTION_CREATE_INFO ||
        (createInfo->countSubactionPaths != 0 && createInfo->subactionPaths == nullptr)) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    switch (createInfo->actionType) {
        case XR_ACTION_TYPE_BOOLEAN_INPUT:
        case XR_ACTION_TYPE_FLOAT_INPUT:
        case XR_ACTION_TYPE_VECTOR2F_INPUT:
        case XR_ACTION_TYPE_POSE_INPUT:
        case XR_ACTION_TYPE_VIBRATION_OUTPUT:
            break;
        default:
            return XR_ERROR_VALIDATION_FAILURE;
    }
    if (set->attached) {
        return XR_ERROR_ACTIONSETS_ALREADY_ATTACHED;
    }
    if (const XrResult result = CheckName(createInfo->actionName, XR_MAX_ACTION_NAME_SIZE);
        XR_FAILED(result)) {
        return result;
    }
    if (!IsValidLocalizedName(createInfo->localizedActionName, XR_MAX_LOCALIZED_ACTION_NAME_SIZE)) {
        return XR_ERROR_LOCALIZED_NAME_INVALID;
    }
    const Instance* instance = FindInstance(set->instance);
    Action created;
    created.actionSet = actionSet;
    created.name = createInfo->actionName;
    created.localizedName = createInfo->localizedActionName;
    created.type = createInfo->actionType;
    for (uint32_t i = 0; i < createInfo->countSubactionPaths; ++i) {
        const XrPath path = createInfo->subactionPaths[i];
        const std::string* text = PathText(*instance, path);
        if (text == nullptr) {
            return XR_ERROR_PATH_INVALID;
        }
        if (!IsTopLevelUserPath(*text) ||
            std::find(created.subactionPaths.begin(), created.subactionPaths.end(), path) !=
                created.subactionPaths.end()) {
            return XR_ERROR_PATH_UNSUPPORTED;
        }
        created.subactionPaths.push_back(path);
    }
    if (AnyActionOf(actionSet, created.name, "")) {
        return XR_ERROR_NAME_DUPLICATED;
    }
    if (AnyActionOf(actionSet, "", created.localizedName)) {
        return XR_ERROR_LOCALIZED_NAME_DUPLICATED;
    }
    const XrAction handle = AddAction(std::move(created));
    if (handle == XR_NULL_HANDLE) {
        return XR_ERROR_LIMIT_REACHED;
    }
    *action = handle;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL DestroyAction(XrAction action) {
    if (FindAction(action) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    RemoveAction(action);
    return XR_SUCCESS;
}

// Without a device there is nothing to bind to, so a binding is checked for its form only: an
// interaction profile path and input or output paths under a user path.
XrResult XRAPI_CALL SuggestInteractionProfileBindings(
    XrInstance instance, const XrInteractionProfileSuggestedBinding* suggestedBindings) {
    const Instance* state = FindInstance(instance);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (suggestedBindings == nullptr ||
        suggestedBindings->type != XR_TYPE_INTERACTION_PROFILE_SUGGESTED_BINDING ||
        suggestedBindings->countSuggestedBindings == 0 ||
        suggestedBindings->suggestedBindings == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    const std::string* profile = PathText(*state, suggestedBindings->interactionProfile);
    if (profile == nullptr) {
        return XR_ERROR_PATH_INVALID;
    }
    if (!StartsWith(*profile, "/interaction_profiles/")) {
        return XR_ERROR_PATH_UNSUPPORTED;
    }
    for (uint32_t i = 0; i < suggestedBindings->countSuggestedBindings; ++i) {
        const XrActionSuggestedBinding& binding = suggestedBindings->suggestedBindings[i];
        const Action* action = FindAction(binding.action);
        const ActionSet* set = action != nullptr ? FindActionSet(action->actionSet) : nullptr;
        if (set == nullptr || set->instance != instance) {
            return XR_ERROR_HANDLE_INVALID;
        }
        const std::string* path = PathText(*state, binding.binding);
        if (path == nullptr) {
            return XR_ERROR_PATH_INVALID;
        }
        if (!StartsWith(*path, "/user/")) {
            return XR_ERROR_PATH_UNSUPPORTED;
        }
    }
    return AnyActionSetAttached(instance) ? XR_ERROR_ACTIONSETS_ALREADY_ATTACHED : XR_SUCCESS;
}

XrResult XRAPI_CALL AttachSessionActionSets(XrSession session,
                                            const XrSessionActionSetsAttachInfo* attachInfo) {
    Session* owner = FindSession(session);
    if (owner == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (attachInfo == nullptr || attachInfo->type != XR_TYPE_SESSION_ACTION_SETS_ATTACH_INFO ||
        attachInfo->countActionSets == 0 || attachInfo->actionSets == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    for (uint32_t i = 0; i < attachInfo->countActionSets; ++i) {
        const ActionSet* set = FindActionSet(attachInfo->actionSets[i]);
        if (set == nullptr || set->instance != owner->instance) {
            return XR_ERROR_HANDLE_INVALID;
        }
    }
    if (owner->actionSetsAttached) {
        return XR_ERROR_ACTIONSETS_ALREADY_ATTACHED;
    }
    for (uint32_t i = 0; i < attachInfo->countActionSets; ++i) {
        FindActionSet(attachInfo->actionSets[i])->attached = true;
    }
    owner->actionSetsAttached = true;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL GetCurrentInteractionProfile(XrSession session, XrPath topLevelUserPath,
                                                 XrInteractionProfileState* interactionProfile) {
    const Session* owner = FindSession(session);
    if (owner == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (interactionProfile == nullptr ||
        interactionProfile->type != XR_TYPE_INTERACTION_PROFILE_STATE) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    const std::string* path = PathText(*InstanceOfSession(*owner), topLevelUserPath);
    if (path == nullptr) {
        return XR_ERROR_PATH_INVALID;
    }
    if (!IsTopLevelUserPath(*path)) {
        return XR_ERROR_PATH_UNSUPPORTED;
    }
    if (!owner->actionSetsAttached) {
        return XR_ERROR_ACTIONSET_NOT_ATTACHED;
    }
    interactionProfile->interactionProfile = XR_NULL_PATH;  // no device is connected
    return XR_SUCCESS;
}

XrResult XRAPI_CALL GetActionStateBoolean(XrSession session, const XrActionStateGetInfo* getInfo,
                                          XrActionStateBoolean* state) {
    return InactiveState(session, getInfo, state, XR_TYPE_ACTION_STATE_BOOLEAN,
                         XR_ACTION_TYPE_BOOLEAN_INPUT);
}

XrResult XRAPI_CALL GetActionStateFloat(XrSession session, const XrActionStateGetInfo* getInfo,
                                        XrActionStateFloat* state) {
    return InactiveState(session, getInfo, state, XR_TYPE_ACTION_STATE_FLOAT,
                         XR_ACTION_TYPE_FLOAT_INPUT);
}

XrResult XRAPI_CALL GetActionStateVector2f(XrSession session, const XrActionStateGetInfo* getInfo,
                                           XrActionStateVector2f* state) {
    return InactiveState(session, getInfo, state, XR_TYPE_ACTION_STATE_VECTOR2F,
                         XR_ACTION_TYPE_VECTOR2F_INPUT);
}

XrResult XRAPI_CALL GetActionStatePose(XrSession session, const XrActionStateGetInfo* getInfo,
                                       XrActionStatePose* state) {
    return InactiveState(session, getInfo, state, XR_TYPE_ACTION_STATE_POSE,
                         XR_ACTION_TYPE_POSE_INPUT);
}

XrResult XRAPI_CALL SyncActions(XrSession session, const XrActionsSyncInfo* syncInfo) {
    const Session* owner = FindSession(session);
    if (owner == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (syncInfo == nullptr || syncInfo->type != XR_TYPE_ACTIONS_SYNC_INFO ||
        (syncInfo->countActiveActionSets != 0 && syncInfo->activeActionSets == nullptr)) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    for (uint32_t i = 0; i < syncInfo->countActiveActionSets; ++i) {
        const ActionSet* set = FindActionSet(syncInfo->activeActionSets[i].actionSet);
        if (set == nullptr || set->instance != owner->instance) {
            return XR_ERROR_HANDLE_INVALID;
        }
        if (!set->attached || !owner->actionSetsAttached) {
            return XR_ERROR_ACTIONSET_NOT_ATTACHED;
        }
    }
    return owner->state == XR_SESSION_STATE_FOCUSED ? XR_SUCCESS : XR_SESSION_NOT_FOCUSED;
}

XrResult XRAPI_CALL EnumerateBoundSourcesForAction(
    XrSession session, const XrBoundSourcesForActionEnumerateInfo* enumerateInfo,
    uint32_t /*capacity*/, uint32_t* count, XrPath* /*sources*/) {
    const Session* owner = FindSession(session);
    if (owner == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (enumerateInfo == nullptr || count == nullptr ||
        enumerateInfo->type != XR_TYPE_BOUND_SOURCES_FOR_ACTION_ENUMERATE_INFO) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    const Action* action = nullptr;
    if (const XrResult result =
            FindQueriedAction(*owner, enumerateInfo->action, XR_NULL_PATH, action);
        XR_FAILED(result)) {
        return result;
    }
    *count = 0;  // nothing is bound
    return XR_SUCCESS;
}

XrResult XRAPI_CALL GetInputSourceLocalizedName(XrSession session,
                                                const XrInputSourceLocalizedNameGetInfo* getInfo,
                                                uint32_t /*capacity*/, uint32_t* count,
                                                char* /*buffer*/) {
    const Session* owner = FindSession(session);
    if (owner == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (getInfo == nullptr || count == nullptr ||
        getInfo->type != XR_TYPE_INPUT_SOURCE_LOCALIZED_NAME_GET_INFO ||
        getInfo->whichComponents == 0) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (PathText(*InstanceOfSession(*owner), getInfo->sourcePath) == nullptr) {
        return XR_ERROR_PATH_INVALID;
    }
    if (!owner->actionSetsAttached) {
        return XR_ERROR_ACTIONSET_NOT_ATTACHED;
    }
    return XR_ERROR_PATH_UNSUPPORTED;  // no source is bound, so none has a name
}

XrResult XRAPI_CALL ApplyHapticFeedback(XrSession session,
                                        const XrHapticActionInfo* hapticActionInfo,
                                        const XrHapticBaseHeader* hapticFeedback) {
    const Session* owner = nullptr;
    if (const XrResult result = CheckHaptic(session, hapticActionInfo, owner); XR_FAILED(result)) {
        return result;
    }
    if (hapticFeedback == nullptr || hapticFeedback->type != XR_TYPE_HAPTIC_VIBRATION) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    return owner->state == XR_SESSION_STATE_FOCUSED ? XR_SUCCESS : XR_SESSION_NOT_FOCUSED;
}

XrResult XRAPI_CALL StopHapticFeedback(XrSession session,
                                       const XrHapticActionInfo* hapticActionInfo) {
    const Session* owner = nullptr;
    if (const XrResult result = CheckHaptic(session, hapticActionInfo, owner); XR_FAILED(result)) {
        return result;
    }
    return owner->state == XR_SESSION_STATE_FOCUSED ? XR_SUCCESS : XR_SESSION_NOT_FOCUSED;
}

}  // namespace standin
