// Numeric identifiers of every resource of Quorvel Photo Manager: dialog
// templates and their controls, the menu and its commands, icons, the handheld
// bitmaps and the drag cursor.
//
// The numbers are fixed: code binds dialogs and controls by them, the
// end-to-end driver finds windows by them, and the icon numbers double as the
// "idres" values of tooltip markup. Only plain #defines live here, so that
// both the resource compiler and C++ can include this file.
#ifndef QUORVEL_RESOURCES_RESOURCE_H
#define QUORVEL_RESOURCES_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// ---------------------------------------------------------------- About box
#define IDD_ABOUT                       100
#define IDC_ABOUT_LABEL                 1042  // HTML label (CHtmlLabel)

// ------------------------------------------------------------- main dialog
#define IDD_MAIN                        102
#define IDC_CONNECT                     1002
#define IDC_DISCONNECT                  1003
#define IDC_OPEN_PICTURE                1004
#define IDC_IMAGE_SIZE                  1005
#define IDC_SEND_TO_DEVICE              1006
#define IDC_SEND_BY_MAIL                1008
#define IDC_WIDTH                       1011  // target width, display only
#define IDC_HEIGHT                      1012  // target height, display only
#define IDC_ZOOM_OUT                    1030
#define IDC_ZOOM_IN                     1031
#define IDC_PREVIEW_FRAME               1034  // black frame bar above the preview
#define IDC_STATUS_BAR                  1040  // created at run time
#define IDC_PREVIEW_LABEL               1041  // "Image preview"

// Menu bar of the main dialog and its commands.
#define IDR_MAIN_MENU                   163
#define IDM_ABOUT                       32772
#define IDM_EXIT                        32773

// ------------------------------------------------------- Image size dialog
#define IDD_IMAGE_SIZE                  134
#define IDC_SIZE_HEIGHT                 1017
#define IDC_SIZE_WIDTH                  1019
#define IDC_SIZE_OK                     1035
#define IDC_SIZE_CANCEL                 1038

// --------------------------------------------------------- progress window
#define IDD_PROGRESS                    135
#define IDC_PROGRESS_BAR                1023
#define IDC_PROGRESS_TEXT               1024  // hidden static

// ----------------------------------------------------------- preview panes
#define IDD_SCROLL_PREVIEW              138   // CScrollPreviewDlg: handheld drawing and scroll bars
#define IDD_REAL_PICT                   139   // CRealPictDlg: the picture at its target size
#define IDD_DEVICE_OUT                  140   // CDeviceOutDlg: the handheld's screen

#define IDB_HANDHELD_CONNECTED          153   // 324 x 270, 24 bpp, screen at (39, 58) 248 x 159
#define IDB_HANDHELD_DISCONNECTED       154
#define IDCUR_DRAG                      1018  // shown over a picture that can be dragged

// --------------------------------------------------- handheld password prompt
#define IDD_PASSWORD                    162
#define IDC_PASSWORD_EDIT               1046
#define IDC_PASSWORD_MESSAGE            1047  // "You have N attempts remaining ..."

// ------------------------------------------------------ send-by-mail dialog
#define IDD_SEND_MAIL                   167
#define IDC_MAIL_TO                     1046
#define IDC_MAIL_SUBJECT                1048

// ------------------------------------------------------------------- icons
#define IDI_APP                         130
#define IDI_IMAGE_SIZE                  132
#define IDI_SEND_TO_DEVICE              133
#define IDI_OPEN_PICTURE                137
#define IDI_ZOOM_IN                     142
#define IDI_ZOOM_OUT                    143
#define IDI_CONNECT                     146
#define IDI_DISCONNECT                  147
#define IDI_SEND_TO_DEVICE_DISABLED     148
#define IDI_CONNECT_DISABLED            149
#define IDI_DISCONNECT_DISABLED         150
#define IDI_OPEN_PICTURE_DISABLED       156
#define IDI_IMAGE_SIZE_DISABLED         157
#define IDI_ZOOM_IN_DISABLED            158
#define IDI_ZOOM_OUT_DISABLED           159
#define IDI_SEND_BY_MAIL_DISABLED       165
#define IDI_SEND_BY_MAIL                166

// ------------------------------------------------------------ version info
#ifndef VS_VERSION_INFO
#define VS_VERSION_INFO                 1
#endif

#endif  // QUORVEL_RESOURCES_RESOURCE_H
