#pragma once
// Resource and control ids of the control panel, grouped by template. The
// numbers are fixed: pages, tests and the frame find controls by them.

// Application resources (menu, accelerators, toolbar bitmap, icon and title
// string share the number).
#define IDR_MAINFRAME 128
#define IDR_TRAYMENU 205
#define IDS_READY 57345 // idle text of the status bar

// Icons of the page tree's image list.
#define IDI_TREE_DRIVER 232
#define IDI_TREE_CHANNELS 233
#define IDI_TREE_DEVICES 234
#define IDI_TREE_SPARE1 235
#define IDI_TREE_SPARE2 236
#define IDI_TREE_SETTINGS 237

// Commands.
#define ID_APP_ABOUT 0xE140
#define ID_APP_EXIT 0xE141
#define ID_TRAY_RESTORE 32775

// Frame children.
#define ID_FRAME_REBAR 0xE800
#define ID_FRAME_STATUS_BAR 0xE801

// Window messages of the panel.
#define WM_CPL_TRAY_NOTIFY 0x464   // WM_USER + 100, the tray icon's callback
#define WM_CPL_DRIVER_EVENT 0x800A // WM_APP + 10, posted by the event thread
#define WM_CPL_SIMULATED_ARRIVAL 0x800B // WM_APP + 11, wParam: DBT_ event, posted by the simulator's waiter

// The program's version (the version resource and the about box) is the
// package's.
#include "QuilloVersion.h"

// About box.
#define IDD_ABOUTBOX 100
#define IDC_ABOUT_TEXT 1006
#define IDC_ABOUT_LINK 1028

// Driver info page.
#define IDD_FORM_DRVINFO 101
#define IDC_DRVINFO_GROUP 1000
#define IDC_DRVINFO_TEXT 1003

// Page tree pane.
#define IDD_FORM_SELECTION 103
#define IDC_PAGE_TREE 1002

// Sample rate page.
#define IDD_FORM_SAMPLERATE 104
#define IDC_SAMPLERATE_GROUP 1032
#define IDC_SAMPLERATE_APPLY 1038
#define IDC_SAMPLERATE_LIST 1040
#define IDC_SAMPLERATE_DSD 1094

// Devices page.
#define IDD_FORM_DEVICES 106
#define IDC_DEVICES_LIST 1050
#define IDC_DEVICES_SELECT 1081
#define IDC_DEVICES_MODE_GROUP 1090
#define IDC_DEVICES_MODE_SINGLE 1091
#define IDC_DEVICES_MODE_ALL 1092

// Text-only page.
#define IDD_FORM_STATICTEXT 208
#define IDC_STATICTEXT_TEXT 1030

// Buffer settings page.
#define IDD_FORM_BUFFERSETTINGS 247
#define IDC_BUFFER_STREAM_GROUP 1041
#define IDC_BUFFER_ASIO_GROUP 1042
#define IDC_BUFFER_STREAM_LIST 1044
#define IDC_BUFFER_ASIO_LIST 1045
#define IDC_BUFFER_APPLY 1048
#define IDC_BUFFER_STREAM_LATENCY 1049
#define IDC_BUFFER_ASIO_LATENCY 1050

// Channel pages (inputs and outputs share the template).
#define IDD_FORM_CHANNELS 248
#define IDC_CHANNELS_LIST 1051

// Device page.
#define IDD_FORM_DEVICE 249
#define IDC_DEVICE_INPUT_MIXER 1052
#define IDC_DEVICE_INFO 1053
#define IDC_DEVICE_SPDIF_STATUS 1054
#define IDC_DEVICE_OUTPUT_MIXER 1055
#define IDC_DEVICE_SPDIF_PASS_THROUGH 1079
#define IDC_DEVICE_VOLUME_BYPASS 1093
#define IDC_DEVICE_FORBID_RATE_CHANGE 1097

// Mixer window.
#define IDD_FORM_MIXER 251

// Output strip.
#define IDD_FORM_STEREOOUTPUTCTRL 254
#define IDC_STRIP_METER_LEFT 1055
#define IDC_STRIP_METER_RIGHT 1057
#define IDC_STRIP_FADER_RIGHT 1059
#define IDC_STRIP_FADER_LEFT 1061
#define IDC_STRIP_LINK 1062
#define IDC_STRIP_MUTE 1063
#define IDC_STRIP_LABEL 1065
#define IDC_STRIP_GAIN_LEFT 1066
#define IDC_STRIP_GAIN_RIGHT 1068
#define IDC_STRIP_ZERO_DB 1080
#define IDC_STRIP_SCALE 1098

// Input strip (label and meters as in the output strip).
#define IDD_FORM_STEREOINPUTCTRL 255

// Weight editor.
#define IDD_FORM_WEIGHTCTRL 256
#define IDC_WEIGHT_CONNECTED 1073
#define IDC_WEIGHT_SLIDER 1074
#define IDC_WEIGHT_VALUE 1076

// Status info page.
#define IDD_FORM_STATUSINFO 257
#define IDC_STATUS_DESCRIPTION 1082
#define IDC_STATUS_GROUP 1083
#define IDC_STATUS_LIST 1084

// Echo effect page.
#define IDD_FORM_PLUGIN 258
#define IDC_PLUGIN_DELAY 1085
#define IDC_PLUGIN_AMPLIFICATION 1086
#define IDC_PLUGIN_DELAY_VALUE 1087
#define IDC_PLUGIN_AMPLIFICATION_VALUE 1088
#define IDC_PLUGIN_CHANNELS 1089
