/* Control ids of the control panels and their small dialogs. Plain #defines: the resource compiler reads
   this file too. */
#ifndef HV_PANELS_RESOURCE_IDS_H
#define HV_PANELS_RESOURCE_IDS_H

/* Shared by the panels */
#define IDC_PANEL_GROUP 20
#define IDC_GAIN_TEXT 30
#define IDC_PROFILE_NAME 35
#define IDC_PT_TEXT 50
#define IDC_SCALE_0DB 70
#define IDC_SCALE_51 80
#define IDC_SCALE_12 90
#define IDC_SCALE_24 100
#define IDC_SCALE_36 110
#define IDC_SCALE_6 120
#define IDC_METER_NUMBER_1 130
#define IDC_METER_NUMBER_2 140
#define IDC_METER_NUMBER_3 150
#define IDC_METER_NUMBER_4 160
#define IDC_METER_NUMBER_5 170
#define IDC_METER_NUMBER_6 180
#define IDC_PROFILE_LABEL 190
#define IDC_PLAY 5000
#define IDC_STOP 5010
#define IDC_VOLUME 5020
#define IDC_D1_TEXT 5030
#define IDC_D2_TEXT 5031
#define IDC_LT_TEXT 5032
#define IDC_FR_TEXT 5034
#define IDC_DEL_TEXT 5036
#define IDC_LIN_PH 4912
#define IDC_MIN_PH 4913
#define IDC_INPUT_METER 10128
#define IDC_OUTPUT_METER 10129

/* System Design + Player panel */
#define IDC_EDIT_GROUP 10
#define IDC_TOOL_DRAW 1002
#define IDC_TOOL_MOVE 1007
#define IDC_TOOL_WIPE_COMP 1008
#define IDC_TOOL_WIPE_WIRE 1016
#define IDC_PALETTE 1024
#define IDC_SHOW_NODES 1050
#define IDC_SHOW_RASTER 1051
#define IDC_COPY_SPEAKER 1052
#define IDC_CLEAR_PLOTS 1054
#define IDC_CURVE_SELECTION 4810
#define IDC_TEST_TONES 4811
#define IDC_SPL_ONLY_EQ 4910
#define IDC_RE_RECORD 4911
#define IDC_FRONT_LEFT 20001
#define IDC_FRONT_RIGHT 20002
#define IDC_CENTRE 20003
#define IDC_REAR_LEFT 20004
#define IDC_REAR_RIGHT 20005
#define IDC_SUB 20006
#define IDC_SUB_2 20007
#define IDC_SIDE_LEFT 20008
#define IDC_SIDE_RIGHT 20009
#define IDC_WIDE_WINDOW 20011

/* Player Control panel: pane status labels 60..68 */
#define IDC_PANE_LABEL_FIRST 60

/* WAV Player Control panel */
#define IDC_SONG_LABEL 37
#define IDC_SONG_TITLE 36

/* Playlist Editor */
#define IDC_PLAYLIST_VIEW 2000
#define IDC_ADD_SONG 2001
#define IDC_DELETE_SONG 2002
#define IDC_SAVE_PLAYLIST 2003
#define IDC_LOAD_PLAYLIST 2004
#define IDC_CLEAR_PLAYLIST 2006

/* Copy Speaker Control */
#define IDC_COPY_SOURCE_FIRST 4950
#define IDC_COPY_TARGET_FIRST 4960

/* Test Tones */
#define IDC_TONE_PORT 5037
#define IDC_TONE_FREQUENCY 5038

#endif
