/* Control ids of the application shell's dialog templates ("EnterScales", "ProjectFile") and of the
   settings windows' controls. Plain #defines: the resource compiler reads this file too. */
#ifndef HV_APP_RESOURCE_IDS_H
#define HV_APP_RESOURCE_IDS_H

/* "EnterScales" (caption "Printout Control") */
#define IDC_PRINT_LANDSCAPE 807
#define IDC_PRINT_PORTRAIT 808
#define IDC_PRINT_SCALE_LIST 809
#define IDC_PRINT_X_OFFSET 810
#define IDC_PRINT_Y_OFFSET 811
#define IDC_PRINT_COLOUR_COUNT 812
#define IDC_PRINTER_TYPE 7000
#define IDC_PRINTER_MODEL 7001
#define IDC_PRINTER_PORT 7002
#define IDC_PRINT_SCALE_TEXT 7005

/* "ProjectFile" (caption "Enter Driver FileNames"): edit 10500 + n - 1 and Browse 10510 + n - 1 of profile n */
#define IDC_PROFILE_EDIT_FIRST 10500
#define IDC_PROFILE_EDIT_LAST 10509
#define IDC_PROFILE_BROWSE_FIRST 10510
#define IDC_PROFILE_BROWSE_LAST 10519

#endif
