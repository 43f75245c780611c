#pragma once
// What a screen reader learns about a drawn control that shows no text of its own: its name, its
// role and its state, answered to WM_GETOBJECT as the control's client object. A push button also
// takes its default action (press); a text box gives its text as its value.

#include <windows.h>
// After windows.h, which they need.
#include <oleacc.h>

#include <string>

namespace harmoload::controls {

class AccessibleControl : public IAccessible {
  public:
    // A new object for the control with one reference, the caller's.
    static AccessibleControl* Create(HWND control, LONG role);

    // The name a screen reader announces; a screen reader listening is told it changed.
    void setName(std::wstring name);
    const std::wstring& name() const { return name_; }
    // The control is going: every later question is answered as for a gone object.
    void disconnect() { control_ = nullptr; }
    // For the control's unique_ptr: disconnects and gives up the control's reference.
    struct Disconnect {
        void operator()(AccessibleControl* object) const {
            object->disconnect();
            object->Release();
        }
    };
    // The answer to WM_GETOBJECT for the object id: the marshalled object for OBJID_CLIENT, 0 (the
    // system's own objects) for the others.
    LRESULT answerGetObject(WPARAM flags, LONG objectId);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch: no type information; callers use the IAccessible methods.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;
    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focused) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selected) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

  private:
    AccessibleControl(HWND control, LONG role) : control_(control), role_(role) {}
    virtual ~AccessibleControl() = default;

    // S_OK when the question is about the control itself and the control is still there.
    HRESULT check(const VARIANT& child) const;
    bool pushButton() const { return role_ == ROLE_SYSTEM_PUSHBUTTON; }

    LONG references_ = 1;
    HWND control_;
    LONG role_;
    std::wstring name_;
};

}  // namespace harmoload::controls
