#pragma once
// Control ids of the element dialog templates, shared by resources/design_dialogs.rc and the dialog
// procedures (plain macros, so the resource compiler reads them too).
#define IDC_PORT_EDIT 1020
#define IDC_NODE_LABEL 20
#define IDC_DRIVER_PATH 1600
#define IDC_BROWSE 1601
#define IDC_CLEAR_DRIVER 1607
#define IDC_BAND_LOW 1602
#define IDC_BAND_HIGH 1603
#define IDC_CHANNEL_DELAY 1518
#define IDC_CHANNEL_DELAY_CM 800
#define IDC_CABS_DELAY 1516
#define IDC_CABS_DELAY_CM 900
#define IDC_REVERSE_PHASE 1022
#define IDC_CHANNEL_GAIN 1615
#define IDC_PLOT_FLAG 1610
#define IDC_SLOPE_LIST 1509
#define IDC_FAMILY_LIST 1512
#define IDC_FREQUENCY 1506
#define IDC_BYPASS 1053
#define IDC_FILTER_GAIN 1515
#define IDC_Q_OR_R 1517
