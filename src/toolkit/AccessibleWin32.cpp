#include "toolkit/AccessibleWin32.h"

#include "toolkit/BoundsWin32.h"
#include "toolkit/HandlesWin32.h"
#include "toolkit/TextWin32.h"

#include <atomic>
#include <memory>
#include <string>

namespace {

bool IsSelf(const VARIANT& child)
{
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

void SetI4(VARIANT* target, LONG value)
{
    VariantInit(target);
    target->vt = VT_I4;
    target->lVal = value;
}

BSTR ToBstr(const std::string& text)
{
    const std::wstring wide = WideText(text);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

// A COM object: its clients own it through AddRef and Release.
class TTextViewAccessible final : public IAccessible {
public:
    explicit TTextViewAccessible(HWND view) : view_(view) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;  // the last COM reference owns the object
        return left;
    }

    // IDispatch: clients use the IAccessible methods directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        return Alive() ? AccessibleObjectFromWindow(view_, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                                    reinterpret_cast<void**>(parent))
                       : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** child) override
    {
        *child = nullptr;
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT, BSTR* name) override
    {
        *name = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        *value = nullptr;
        if (!IsSelf(child))
            return E_INVALIDARG;
        if (!Alive())
            return RPC_E_DISCONNECTED;
        *value = ToBstr(WindowText(view_));
        return *value ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override
    {
        std::string description;
        if (!IsSelf(child) || !Alive()
            || !SendMessageA(view_, TextViewDescriptionMessage(), 0, reinterpret_cast<LPARAM>(&description)))
            return NoText(text);
        *text = ToBstr(description);
        return *text ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        if (!IsSelf(child))
            return E_INVALIDARG;
        SetI4(role, ROLE_SYSTEM_TEXT);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        if (!IsSelf(child))
            return E_INVALIDARG;
        if (!Alive())
            return RPC_E_DISCONNECTED;
        LONG flags = STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE;
        if (GetFocus() == view_)
            flags |= STATE_SYSTEM_FOCUSED;
        if (!IsWindowVisible(view_))
            flags |= STATE_SYSTEM_INVISIBLE;
        SetI4(state, flags);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* text) override { return NoText(text); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override
    {
        *topic = 0;
        return NoText(file);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* text) override { return NoText(text); }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override
    {
        VariantInit(focus);
        if (GetFocus() == view_)
            SetI4(focus, CHILDID_SELF);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
    {
        VariantInit(selection);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* text) override { return NoText(text); }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override
    {
        if (!IsSelf(child))
            return E_INVALIDARG;
        if (flags & SELFLAG_TAKEFOCUS)
            SetFocus(view_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override
    {
        if (!IsSelf(child))
            return E_INVALIDARG;
        RECT client{};
        GetClientRect(view_, &client);
        MapWindowPoints(view_, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
        const TBounds onScreen = ToBounds(client);
        *left = onScreen.Left;
        *top = onScreen.Top;
        *width = onScreen.Width;
        *height = onScreen.Height;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG, VARIANT, VARIANT* end) override
    {
        VariantInit(end);
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override
    {
        VariantInit(child);
        RECT window{};
        GetWindowRect(view_, &window);
        if (!PtInRect(&window, POINT{x, y}))
            return S_FALSE;
        SetI4(child, CHILDID_SELF);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~TTextViewAccessible() = default;
    bool Alive() const { return IsWindow(view_) != FALSE; }
    static HRESULT NoText(BSTR* text)
    {
        *text = nullptr;
        return S_FALSE;
    }

    HWND view_;
    std::atomic<ULONG> references_{1};
};

}  // namespace

IAccessible* NewTextViewAccessible(HWND view)
{
    return new TTextViewAccessible(view);  // COM: the reference it starts with is the caller's
}

UINT TextViewDescriptionMessage()
{
    static const UINT message = RegisterWindowMessageA("Vantrel.TextViewDescription");
    return message;
}

LRESULT AnswerTextViewObject(HWND view, WPARAM flags, LPARAM objectId)
{
    if (static_cast<LONG>(objectId) != static_cast<LONG>(OBJID_CLIENT))
        return DefWindowProcA(view, WM_GETOBJECT, flags, objectId);
    IAccessible* accessible = NewTextViewAccessible(view);
    const LRESULT result = LresultFromObject(__uuidof(IAccessible), flags, accessible);
    accessible->Release();
    return result;
}
