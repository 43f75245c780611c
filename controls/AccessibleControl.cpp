#include "controls/AccessibleControl.h"

#include <iterator>

namespace harmoload::controls {
namespace {

BSTR Text(const std::wstring& text) {
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

void SetLong(VARIANT* variant, LONG value) {
    VariantInit(variant);
    variant->vt = VT_I4;
    variant->lVal = value;
}

// The window that has the keyboard focus on the control's thread, asked from any thread.
HWND FocusOfThread(HWND control) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(control, nullptr), &info) ? info.hwndFocus
                                                                               : nullptr;
}

}  // namespace

AccessibleControl* AccessibleControl::Create(HWND control, LONG role) {
    return new AccessibleControl(control, role);
}

void AccessibleControl::setName(std::wstring name) {
    name_ = std::move(name);
    if (control_ != nullptr) {
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control_, OBJID_CLIENT, CHILDID_SELF);
    }
}

LRESULT AccessibleControl::answerGetObject(WPARAM flags, LONG objectId) {
    if (objectId != OBJID_CLIENT || control_ == nullptr) {
        return 0;
    }
    return LresultFromObject(IID_IAccessible, flags, static_cast<IAccessible*>(this));
}

HRESULT AccessibleControl::QueryInterface(REFIID id, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDispatch) ||
        IsEqualIID(id, IID_IAccessible)) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG AccessibleControl::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG AccessibleControl::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) {
        delete this;
    }
    return static_cast<ULONG>(left);
}

HRESULT AccessibleControl::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

HRESULT AccessibleControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) {
        *info = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT AccessibleControl::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT AccessibleControl::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                  UINT*) {
    return E_NOTIMPL;
}

HRESULT AccessibleControl::check(const VARIANT& child) const {
    if (control_ == nullptr || !IsWindow(control_)) {
        return CO_E_OBJNOTCONNECTED;
    }
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF ? S_OK : E_INVALIDARG;
}

HRESULT AccessibleControl::get_accParent(IDispatch** parent) {
    if (parent == nullptr) {
        return E_POINTER;
    }
    *parent = nullptr;
    if (control_ == nullptr) {
        return CO_E_OBJNOTCONNECTED;
    }
    // The client object's parent is the control's window object, which the system provides.
    return SUCCEEDED(AccessibleObjectFromWindow(control_, static_cast<DWORD>(OBJID_WINDOW),
                                                IID_IDispatch, reinterpret_cast<void**>(parent)))
               ? S_OK
               : S_FALSE;
}

HRESULT AccessibleControl::get_accChildCount(LONG* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

HRESULT AccessibleControl::get_accChild(VARIANT, IDispatch** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    return E_INVALIDARG;
}

HRESULT AccessibleControl::get_accName(VARIANT child, BSTR* name) {
    if (name == nullptr) {
        return E_POINTER;
    }
    *name = nullptr;
    if (const HRESULT checked = check(child); checked != S_OK) {
        return checked;
    }
    *name = Text(name_);
    return S_OK;
}

HRESULT AccessibleControl::get_accValue(VARIANT child, BSTR* value) {
    if (value == nullptr) {
        return E_POINTER;
    }
    *value = nullptr;
    if (const HRESULT checked = check(child); checked != S_OK) {
        return checked;
    }
    if (pushButton()) {
        return DISP_E_MEMBERNOTFOUND;
    }
    // Read through the control's thread, as for another process.
    wchar_t text[2048] = {};
    SendMessageW(control_, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
    *value = SysAllocString(text);
    return S_OK;
}

HRESULT AccessibleControl::get_accDescription(VARIANT, BSTR* description) {
    if (description != nullptr) {
        *description = nullptr;
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT AccessibleControl::get_accRole(VARIANT child, VARIANT* role) {
    if (role == nullptr) {
        return E_POINTER;
    }
    VariantInit(role);
    if (const HRESULT checked = check(child); checked != S_OK) {
        return checked;
    }
    SetLong(role, role_);
    return S_OK;
}

HRESULT AccessibleControl::get_accState(VARIANT child, VARIANT* state) {
    if (state == nullptr) {
        return E_POINTER;
    }
    VariantInit(state);
    if (const HRESULT checked = check(child); checked != S_OK) {
        return checked;
    }
    const LONG_PTR style = GetWindowLongPtrW(control_, GWL_STYLE);
    LONG flags = STATE_SYSTEM_FOCUSABLE;
    if (!IsWindowEnabled(control_)) {
        flags = STATE_SYSTEM_UNAVAILABLE;
    }
    if (!IsWindowVisible(control_)) {
        flags |= STATE_SYSTEM_INVISIBLE;
    }
    if (FocusOfThread(control_) == control_) {
        flags |= STATE_SYSTEM_FOCUSED;
    }
    if (pushButton()) {
        if ((SendMessageW(control_, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0) {
            flags |= STATE_SYSTEM_PRESSED;
        }
    } else if ((style & ES_READONLY) != 0) {
        flags |= STATE_SYSTEM_READONLY;
    }
    SetLong(state, flags);
    return S_OK;
}

HRESULT AccessibleControl::get_accHelp(VARIANT, BSTR* help) {
    if (help != nullptr) {
        *help = nullptr;
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT AccessibleControl::get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) {
    if (file != nullptr) {
        *file = nullptr;
    }
    if (topic != nullptr) {
        *topic = 0;
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT AccessibleControl::get_accKeyboardShortcut(VARIANT, BSTR* shortcut) {
    if (shortcut != nullptr) {
        *shortcut = nullptr;
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT AccessibleControl::get_accFocus(VARIANT* focused) {
    if (focused == nullptr) {
        return E_POINTER;
    }
    VariantInit(focused);
    if (control_ == nullptr) {
        return CO_E_OBJNOTCONNECTED;
    }
    if (FocusOfThread(control_) != control_) {
        return S_FALSE;
    }
    SetLong(focused, CHILDID_SELF);
    return S_OK;
}

HRESULT AccessibleControl::get_accSelection(VARIANT* selected) {
    if (selected != nullptr) {
        VariantInit(selected);
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT AccessibleControl::get_accDefaultAction(VARIANT child, BSTR* action) {
    if (action == nullptr) {
        return E_POINTER;
    }
    *action = nullptr;
    if (const HRESULT checked = check(child); checked != S_OK) {
        return checked;
    }
    if (!pushButton()) {
        return DISP_E_MEMBERNOTFOUND;
    }
    *action = SysAllocString(L"Press");
    return S_OK;
}

HRESULT AccessibleControl::accSelect(LONG flags, VARIANT child) {
    if (const HRESULT checked = check(child); checked != S_OK) {
        return checked;
    }
    if ((flags & SELFLAG_TAKEFOCUS) == 0) {
        return DISP_E_MEMBERNOTFOUND;
    }
    // Focus changes belong to the control's thread: the dialog moves it as Tab would.
    PostMessageW(GetParent(control_), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control_), TRUE);
    return S_OK;
}

HRESULT AccessibleControl::accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                       VARIANT child) {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) {
        return E_POINTER;
    }
    if (const HRESULT checked = check(child); checked != S_OK) {
        return checked;
    }
    RECT place{};
    GetWindowRect(control_, &place);
    *left = place.left;
    *top = place.top;
    *width = place.right - place.left;
    *height = place.bottom - place.top;
    return S_OK;
}

HRESULT AccessibleControl::accNavigate(LONG, VARIANT, VARIANT* end) {
    // Its siblings are found through the window objects the system gives the parent.
    if (end != nullptr) {
        VariantInit(end);
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT AccessibleControl::accHitTest(LONG x, LONG y, VARIANT* child) {
    if (child == nullptr) {
        return E_POINTER;
    }
    VariantInit(child);
    if (control_ == nullptr) {
        return CO_E_OBJNOTCONNECTED;
    }
    RECT place{};
    GetWindowRect(control_, &place);
    if (!PtInRect(&place, POINT{x, y})) {
        return S_FALSE;
    }
    SetLong(child, CHILDID_SELF);
    return S_OK;
}

HRESULT AccessibleControl::accDoDefaultAction(VARIANT child) {
    if (const HRESULT checked = check(child); checked != S_OK) {
        return checked;
    }
    if (!pushButton()) {
        return DISP_E_MEMBERNOTFOUND;
    }
    if (!IsWindowEnabled(control_)) {
        return E_FAIL;
    }
    // The click reaches the dialog as a mouse click would, on the control's thread.
    PostMessageW(GetParent(control_), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control_), BN_CLICKED),
                 reinterpret_cast<LPARAM>(control_));
    return S_OK;
}

HRESULT AccessibleControl::put_accName(VARIANT, BSTR) {
    return E_NOTIMPL;
}

HRESULT AccessibleControl::put_accValue(VARIANT, BSTR) {
    return E_NOTIMPL;
}

}  // namespace harmoload::controls
