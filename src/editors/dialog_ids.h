/* Control IDs of the three editor dialogs, shared by the templates (resources/dialogs.rc) and the code. */
#ifndef KD215_EDITORS_DIALOG_IDS_H
#define KD215_EDITORS_DIALOG_IDS_H

/* Only #define lines: windres reads this file too. Buttons and groups are in the 100s, scroll
   bars in the 200s and edit fields in the 400s; a field's scroll bar has the field's ID - 200. */

/* A control without an ID of its own. */
#define IDC_NONE 65535

/* Shared by the channel and the scene and program editors. */
#define IDC_LOAD 101              /* "Ładuj" */
#define IDC_COMMIT 102            /* "Zatwierdź", in all three dialogs */
#define IDC_NEXT_NUMBER 103       /* "+" */
#define IDC_PREVIOUS_NUMBER 104   /* "-" */
#define IDC_CLOSE 2               /* "Koniec", also the Esc key */

/* SPECEDIT: common settings. */
#define IDC_INPUTS_GROUP 110          /* "Inwersja wejść" */
#define IDC_COMMON_INPUT_GROUP 111    /* "Wejście wspólne" */
#define IDC_SWITCH_ON_LABEL 112       /* "Załączania" */
#define IDC_SWITCH_OFF_LABEL 113      /* "Wyłączania" */
#define IDC_FIRST_MODE 130            /* 130 + OperatingMode, 0..6 */
#define IDC_FIRST_INPUT_INVERTED 140  /* 140 + n for the input of channel n + 1 */
#define IDC_FIRST_COMMON_INPUT 150    /* 150 + CommonInputMode, 0..2 */
#define IDC_SWITCH_ON_BAR 201
#define IDC_SWITCH_OFF_BAR 202
#define IDC_SWITCH_ON_FIELD 401
#define IDC_SWITCH_OFF_FIELD 402

/* CHNLEDIT: channel settings. */
#define IDC_CHANNEL_NUMBER 106
#define IDC_INPUT_INVERTED 107        /* "Inwersja wejścia" */
#define IDC_ALL_CHANNELS 108          /* "Wszystkie kanały tak samo" */
#define IDC_CHANNEL_GROUP 110         /* "Kanał" */
#define IDC_CHANNEL_NUMBER_LABEL 111  /* "Nr kanału" */
#define IDC_FIRST_CHANNEL_BAR 209     /* 209..213: rise, duration, fall, upper limit, lower limit */
#define IDC_FIRST_CHANNEL_FIELD 401   /* 401..405, in the same order */

/* EDYCJA: scenes and programs. */
#define IDC_END_STEP 100              /* "Scena kończąca" */
#define IDC_ENTRY_NUMBER 105
#define IDC_LEVELS_GROUP 110          /* "Kanały" */
#define IDC_DURATION_LABEL 112        /* "Trwania" */
#define IDC_FIRST_LEVEL_BAR 201       /* 201..208: level of channel 1..8 */
#define IDC_RISE_BAR 209
#define IDC_DURATION_BAR 210
#define IDC_FIRST_LEVEL_FIELD 401     /* 401..408 */
#define IDC_RISE_FIELD 409
#define IDC_DURATION_FIELD 410

#endif
