// A dialog bound to a numbered template. It runs modally (our own modal loop,
// so a quit request ends it and is handed on to whoever runs the next loop)
// or modelessly as a child of another window. Controls are bound by id to
// wrapper objects before the window exists and attached when it is made.
//
// Subclasses override OnInitDialog, OnCommand and OnMessage. Enter and Escape
// reach OnOK and OnCancel, which end the dialog unless a subclass says
// otherwise. A child dialog hands files dropped on it to its parent, so a
// window that accepts files also takes them on its panes.
#pragma once
#include "toolkit/Controls.h"
#include "toolkit/Win.h"

#include <optional>
#include <utility>
#include <vector>

namespace tk {

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    ~CDialog() override;

    UINT TemplateId() const { return m_templateId; }
    HWND Parent() const { return m_parent; }
    void SetParent(HWND parent) { m_parent = parent; }

    // Runs the dialog modally and returns the result given to EndDialog, or
    // -1 when the window could not be made. When a quit request arrives the
    // loop ends with IDABORT and the request is posted again for the caller.
    INT_PTR DoModal();
    // Makes the dialog as a modeless window owned by (or, for child
    // templates, a child of) `parent`.
    bool Create(HWND parent);
    // Ends a modal run with `result`; destroys a modeless dialog.
    void EndDialog(INT_PTR result);
    bool IsModal() const { return m_modal; }
    void Destroy();

    HWND Item(int id) const { return ::GetDlgItem(m_hwnd, id); }
    // Attaches `control` to the template's control `id` when the window is made.
    void Bind(int id, CWnd& control) { m_bindings.emplace_back(id, &control); }

    // The quit code seen by the last modal loop that met a quit request.
    static std::optional<int> LastQuitCode();

protected:
    // Default: nothing besides binding; the result chooses default focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    // A WM_COMMAND; return true when handled.
    virtual bool OnCommand(int id, int code, HWND control) { (void)id; (void)code; (void)control; return false; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Any other message. Return a value to mark it handled (that value is the
    // message result); return nothing to let the platform's default handling run.
    virtual std::optional<LRESULT> OnMessage(UINT msg, WPARAM wp, LPARAM lp) { (void)msg; (void)wp; (void)lp; return std::nullopt; }
    // Called after the window is gone.
    virtual void OnDestroyed() {}
    // Sees every message this dialog's own modal loop takes, before the
    // dialog's keyboard handling; true when the message was used up.
    virtual bool PreTranslateMessage(MSG& msg) { (void)msg; return false; }

private:
    static INT_PTR CALLBACK DialogProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR Dispatch(UINT msg, WPARAM wp, LPARAM lp);
    HWND MakeWindow(HWND parent);

    UINT m_templateId;
    HWND m_parent;
    bool m_modal = false;
    bool m_ended = false;
    INT_PTR m_result = 0;
    std::vector<std::pair<int, CWnd*>> m_bindings;
};

// The module that holds the templates and other resources: the executable.
HINSTANCE ResourceModule();

} // namespace tk
