/* nimbrel_plugin.h: the boundary between Nimbrel and a plug-in module, for C (C11) and C++ (C++11
 * or later). Written by kelvane_author_files from the host function list: do not edit it.
 * writing-plugins.md describes the boundary, host-functions.md every host function.
 *
 * A plug-in module exports seven functions under plain names (NIMBREL_PLUGIN_EXPORT), hands the
 * host objects whose first word points at a table of three slots (NimbrelPluginSlots), and finds
 * the host's functions at run time by name in the host's module, NIMBREL_HOST_MODULE. Everything
 * here is laid out as the host lays it out: a 64-bit Windows program built with Microsoft's
 * compiler. */

#ifndef NIMBREL_PLUGIN_H
#define NIMBREL_PLUGIN_H

#include <stddef.h>
#include <stdint.h>
#if !defined(__cplusplus)
#include <stdbool.h>
#endif

#if defined(__cplusplus)
#define NIMBREL_C_NAME extern "C"
#define NIMBREL_LAYOUT(condition, what) static_assert(condition, what)
#else
#define NIMBREL_C_NAME
#define NIMBREL_LAYOUT(condition, what) _Static_assert(condition, what)
#endif

/* Marks each of the seven exports: the host looks them up by their plain, undecorated names. */
#if defined(_WIN32)
#define NIMBREL_PLUGIN_EXPORT NIMBREL_C_NAME __declspec(dllexport)
#else
#define NIMBREL_PLUGIN_EXPORT NIMBREL_C_NAME __attribute__((visibility("default")))
#endif

/* The host's module, already loaded in the process when a plug-in runs. */
#define NIMBREL_HOST_MODULE "Nimbrel.exe"
/* Document types, as nbGetDocumentType answers. */
#define NIMBREL_DOCUMENT_FMR 1
#define NIMBREL_DOCUMENT_DMR 2
#define NIMBREL_DOCUMENT_VMR 3
#define NIMBREL_DOCUMENT_SRF 4
/* The size of the caller's buffer that nbGetStringParameter fills. */
#define NIMBREL_STRING_PARAMETER_SIZE 512u
/* NRVMPRecord.mapType of a t-map. */
#define NIMBREL_T_MAP 1
/* Bit 0 of the flags of slot 0: free the object's storage too. */
#define NIMBREL_DESTROY_FREES 1u

NIMBREL_LAYOUT(sizeof(void*) == 8, "the host is a 64-bit process");

/* One map's display parameters, as nbGetNRVMPOfCurrentVMR fills them. Edit a record the host has
 * just filled and hand it back whole with nbSetNRVMPParametersOfCurrentVMR: every byte you do not
 * set, the opaque ranges and the name pointer included, goes back as the host gave it. */
typedef struct NRVMPRecord {
    char* name;                 /* the host's storage of the map's name; never change the pointer */
    int32_t mapType;            /* 1: a t-map (NIMBREL_T_MAP); read only */
    float thresholdMin;         /* lower threshold (a t value for a t-map) */
    float thresholdMax;         /* upper threshold */
    unsigned char opaque20[4];  /* the host's; hand back unchanged */
    int32_t clusterSize;        /* cluster-size threshold */
    int32_t useClusterSize;     /* 1: the cluster-size threshold applies, 0: it does not */
    int32_t degreesOfFreedom;   /* of the map's statistic; read only */
    unsigned char opaque36[8];  /* the host's; hand back unchanged */
    int32_t showPosNeg;         /* values shown: 1 positive, 2 negative, 3 both */
    unsigned char opaque48[36]; /* the host's; hand back unchanged */
    float transparency;         /* of the map's overlay */
    unsigned char opaque88[16]; /* the host's; hand back unchanged */
    int32_t overlay;            /* 1: the map is overlaid on the VMR, 0: it is not */
    unsigned char opaque108[4]; /* the host's; hand back unchanged */
} NRVMPRecord;
NIMBREL_LAYOUT(sizeof(NRVMPRecord) == 112, "NRVMPRecord is 112 bytes");
NIMBREL_LAYOUT(offsetof(NRVMPRecord, name) == 0, "NRVMPRecord.name at byte 0");
NIMBREL_LAYOUT(offsetof(NRVMPRecord, mapType) == 8, "NRVMPRecord.mapType at byte 8");
NIMBREL_LAYOUT(offsetof(NRVMPRecord, thresholdMin) == 12, "NRVMPRecord.thresholdMin at byte 12");
NIMBREL_LAYOUT(offsetof(NRVMPRecord, thresholdMax) == 16, "NRVMPRecord.thresholdMax at byte 16");
NIMBREL_LAYOUT(offsetof(NRVMPRecord, opaque20) == 20, "NRVMPRecord.opaque20 at byte 20");
NIMBREL_LAYOUT(offsetof(NRVMPRecord, clusterSize) == 24, "NRVMPRecord.clusterSize at byte 24");
NIMBREL_LAYOUT(offsetof(NRVMPRecord, useClusterSize) == 28, "NRVMPRecord.useClusterSize at byte 28");
NIMBREL_LAYOUT(offsetof(NRVMPRecord, degreesOfFreedom) == 32, "NRVMPRecord.degreesOfFreedom at byte 32");
NIMBREL_LAYOUT(offsetof(NRVMPRecord, opaque36) == 36, "NRVMPRecord.opaque36 at byte 36");
NIMBREL_LAYOUT(offsetof(NRVMPRecord, showPosNeg) == 44, "NRVMPRecord.showPosNeg at byte 44");
NIMBREL_LAYOUT(offsetof(NRVMPRecord, opaque48) == 48, "NRVMPRecord.opaque48 at byte 48");
NIMBREL_LAYOUT(offsetof(NRVMPRecord, transparency) == 84, "NRVMPRecord.transparency at byte 84");
NIMBREL_LAYOUT(offsetof(NRVMPRecord, opaque88) == 88, "NRVMPRecord.opaque88 at byte 88");
NIMBREL_LAYOUT(offsetof(NRVMPRecord, overlay) == 104, "NRVMPRecord.overlay at byte 104");
NIMBREL_LAYOUT(offsetof(NRVMPRecord, opaque108) == 108, "NRVMPRecord.opaque108 at byte 108");

/* The maps header the caller provides to nbGetNRVMPsOfCurrentVMR. Only the map count is the
 * caller's to read; trust no count: a negative one means no maps. */
typedef struct NRVMPsHeader {
    int32_t mapCount;             /* the number of maps on the current VMR */
    unsigned char hostOwned[396]; /* the host's */
} NRVMPsHeader;
NIMBREL_LAYOUT(sizeof(NRVMPsHeader) == 400, "NRVMPsHeader is 400 bytes");
NIMBREL_LAYOUT(offsetof(NRVMPsHeader, mapCount) == 0, "NRVMPsHeader.mapCount at byte 0");
NIMBREL_LAYOUT(offsetof(NRVMPsHeader, hostOwned) == 4, "NRVMPsHeader.hostOwned at byte 4");

/* The seven exports. createPlugin: a new, independent plug-in object, or null when none could be
 * made; the host owns it until it calls the object's slot 0. The six descriptors: constant texts
 * that live as long as the module, the same on every call; they touch no host function. */
NIMBREL_PLUGIN_EXPORT void* createPlugin(void);
NIMBREL_PLUGIN_EXPORT const char* getPluginName(void);
NIMBREL_PLUGIN_EXPORT const char* getPluginDescription(void);
NIMBREL_PLUGIN_EXPORT const char* getAuthor(void);
NIMBREL_PLUGIN_EXPORT const char* getHelpFile(void);      /* the help page, a path relative to the module */
NIMBREL_PLUGIN_EXPORT const char* getPluginVersion(void);
NIMBREL_PLUGIN_EXPORT const char* getGUIScript(void);     /* the dialog script's file name, beside the module */

/* The object: the host calls it through the table its first word points at, three slots in this
 * order, each given the object first. A C++ class whose only virtual functions are these three, in
 * this order, with a destructor that is not virtual, has this table (writing-plugins.md). */
typedef struct NimbrelPluginSlots {
    /* slot 0: destroys the object and, when flags has NIMBREL_DESTROY_FREES, frees it; returns it */
    void* (*destroy)(void* self, unsigned int flags);
    /* slot 1: the work; called only after an initPlugin that returned true */
    bool (*execute)(void* self);
    /* slot 2: whether the plug-in can run in the host's present state; false has shown the user why */
    bool (*initPlugin)(void* self);
} NimbrelPluginSlots;
NIMBREL_LAYOUT(sizeof(NimbrelPluginSlots) == 24, "three slots");

typedef struct NimbrelPluginObject {
    const NimbrelPluginSlots* slots; /* the object's first word */
} NimbrelPluginObject;

/* Host functions, one pointer type each, in the host's order: look a function up by its name in
 * NIMBREL_HOST_MODULE and keep it in a pointer of its type (nbLogText in an nbLogTextFunction);
 * test it for null, since a host of another version may lack it. For every host function alike:
 *  - It is called on the thread the host calls the plug-in on, never on another: no host function
 *    is safe to call from another thread.
 *  - It is called only while a call of the host into the plug-in runs (createPlugin, initPlugin,
 *    execute, the destructor; the descriptor functions touch no host function), never after that
 *    call returned.
 *  - Texts are zero-terminated 8-bit strings. The host copies whatever it keeps of a text it is
 *    given, since the caller reuses its buffers at once. */

/* nbGetVersionOfNimbrel: Stores the host's version in the caller's three numbers: major, minor,
 * release. The result is unread. initPlugin calls it first and refuses a host older than 2.2.0.
 *   argument 1: the caller's buffer of 4 bytes, which the host fills during the call
 *   argument 2: the caller's buffer of 4 bytes, which the host fills during the call
 *   argument 3: the caller's buffer of 4 bytes, which the host fills during the call
 *   result: a value */
typedef bool (*nbGetVersionOfNimbrelFunction)(int32_t*, int32_t*, int32_t*);
typedef bool (*nbGetNimbrelPathFunction)(char*);
typedef bool (*nbGetPluginsPathFunction)(char*);
typedef bool (*nbShowLogPaneFunction)(void);

/* nbShowLogTab: Brings the log pane into view. The result is unread.
 *   result: a value */
typedef bool (*nbShowLogTabFunction)(void);

/* nbLogText: Appends the text to the log pane as one line. The result is unread.
 *   argument 1: a text the host reads during the call
 *   result: a value */
typedef bool (*nbLogTextFunction)(const char*);

/* nbMessageBox: Shows the text to the user in a message box. The result is unread.
 *   argument 1: a text the host reads during the call
 *   result: a value */
typedef bool (*nbMessageBoxFunction)(const char*);
typedef bool (*nbYesNoMessageBoxFunction)(const char*);
typedef int32_t (*nbGetIntegerInputFunction)(const char*, int32_t, int32_t, int32_t);
typedef float (*nbGetFloatInputFunction)(const char*, float, float, float);
typedef bool (*nbGetTextInputFunction)(void*, void*, void*);
typedef bool (*nbGetOpenFileNameFunction)(void*, void*, void*, void*);
typedef bool (*nbGetSaveFileNameFunction)(void*, void*, void*, void*);

/* nbUpdateActiveWindow: Redraws the active window with the maps' parameters as last set. The result
 * is unread.
 *   result: a value */
typedef bool (*nbUpdateActiveWindowFunction)(void);
typedef bool (*nbShowBusyCursorFunction)(void);
typedef bool (*nbStopBusyCursorFunction)(void);

/* nbGetNumberOfDocsInWorkspace: The number of open documents: ids 0 to count - 1 are valid. A count
 * below 1 is taken as no documents.
 *   result: a value */
typedef int32_t (*nbGetNumberOfDocsInWorkspaceFunction)(void);

/* nbGetDocumentType: The DocumentType of the document with this id; any other code is no type the
 * plug-in knows.
 *   argument 1: a value
 *   result: a value */
typedef int32_t (*nbGetDocumentTypeFunction)(int32_t);

/* nbGetDocumentTypeName: The name of the type of the document with this id, at most 7 characters.
 * The text is the host's and good only until the caller's next call into the host: the caller
 * copies it at once. Null is taken as an empty name.
 *   argument 1: a value
 *   result: a text of the host's, good only until the caller's next call into the host: copy it at
 *     once */
typedef const char* (*nbGetDocumentTypeNameFunction)(int32_t);

/* nbGetIDOfCurrentDocument: The id of the current document; negative when there is none.
 *   result: a value */
typedef int32_t (*nbGetIDOfCurrentDocumentFunction)(void);
typedef bool (*nbSetAsCurrentDocumentFunction)(int32_t);
typedef bool (*nbCalculateIAMatrixFunction)(void*, void*, void*, void*, void*, void*, void*, void*, void*, void*, void*);
typedef bool (*nbGetTRFParametersFromVolumeToolsDlgFunction)(void*, void*, void*, void*, void*, void*, void*, void*, void*);
typedef bool (*nbGetHeaderOfCurrentFMRFunction)(void*);
typedef bool (*nbSetHeaderOfCurrentFMRFunction)(void*);
typedef void* (*nbGetSTCFloatDataOfCurrentFMRFunction)(void);
typedef void* (*nbGetSTCIntDataOfCurrentFMRFunction)(void);
typedef void* (*nbGetSTCDataOfCurrentFMRFunction)(void);
typedef bool (*nbSaveFMRFunction)(const char*);
typedef bool (*nbSaveFMRAndSTCFunction)(const char*, void*);
typedef bool (*nbGetScannerPositionHeaderOfCurrentFMRFunction)(void*);
typedef bool (*nbSetScannerPositionHeaderOfCurrentFMRFunction)(void*);
typedef bool (*nbGetHeaderOfCurrentDMRFunction)(void*);
typedef bool (*nbSetHeaderOfCurrentDMRFunction)(void*);
typedef void* (*nbGetDWIFloatDataOfCurrentDMRFunction)(void);
typedef void* (*nbGetDWIIntDataOfCurrentDMRFunction)(void);
typedef void* (*nbGetDWIDataOfCurrentDMRFunction)(void);
typedef bool (*nbConvertDWIFormatOfCurrentDMRFunction)(int32_t, int32_t);
typedef bool (*nbSaveDMRFunction)(const char*);
typedef bool (*nbSaveDMRAndDWIFunction)(const char*, void*);
typedef void* (*nbGetCurrentVMRFunction)(void*, void*, void*);
typedef bool (*nbGetMainHeaderOfCurrentVMRFunction)(void*);
typedef bool (*nbSetMainHeaderOfCurrentVMRFunction)(void*);
typedef bool (*nbGetScannerPositionHeaderOfCurrentVMRFunction)(void*);
typedef bool (*nbSetScannerPositionHeaderOfCurrentVMRFunction)(void*);
typedef bool (*nbGetPastTransformationsHeaderOfCurrentVMRFunction)(void*);
typedef bool (*nbSetPastTransformationsHeaderOfCurrentVMRFunction)(void*);
typedef bool (*nbReframeCurrentVMRFunction)(int32_t, int32_t, int32_t);
typedef bool (*nbGetCrossPositionOfCurrentVMRFunction)(void*, void*, void*);

/* nbGetNRVMPsOfCurrentVMR: Fills the caller's 400-byte NRVMPsHeader: the number of maps on the
 * current VMR at byte 0, the other bytes the host's. Null when the current VMR has no maps;
 * otherwise a pointer of the host's, only tested against null. A negative count is taken as no
 * maps.
 *   argument 1: the caller's buffer of 400 bytes, which the host fills during the call
 *   result: a pointer of the host's: null or not, never read through */
typedef void* (*nbGetNRVMPsOfCurrentVMRFunction)(NRVMPsHeader*);

/* nbGetNRVMPOfCurrentVMR: Fills the caller's 112-byte NRVMPRecord with the current parameters of
 * the map at this index. Null when that map cannot be accessed: the record then holds nothing of
 * the host's. Otherwise a pointer of the host's, tested against null and handed on, never read
 * through. The record's name points to the host's storage of the map's name; the pointer is never
 * changed.
 *   argument 1: a value
 *   argument 2: the caller's buffer of 112 bytes, which the host fills during the call
 *   result: a pointer of the host's: null or not, never read through */
typedef void* (*nbGetNRVMPOfCurrentVMRFunction)(int32_t, NRVMPRecord*);

/* nbSetNRVMPParametersOfCurrentVMR: Applies every parameter of the caller's record to the map at
 * this index, at once (a second set applies again). The record is one the host has just filled,
 * changed only in the fields the plug-in sets; it stays the caller's. The result is unread.
 *   argument 1: a value
 *   argument 2: the caller's buffer of 112 bytes, which the host reads during the call
 *   result: a value */
typedef bool (*nbSetNRVMPParametersOfCurrentVMRFunction)(int32_t, NRVMPRecord*);
typedef bool (*nbLoadNRVMPsToCurrentVMRFunction)(const char*);
typedef bool (*nbSaveNRVMPsOfCurrentVMRFunction)(const char*);

/* nbCreateNRVMPsForCurrentVMR: Adds maps to the current VMR; the plug-in passes 1, 0, 0, null: one
 * new map, which becomes the last (index count - 1 in the header filled next). 0 when no map was
 * added.
 *   argument 1: a value
 *   argument 2: a value
 *   argument 3: a value
 *   argument 4: unstated
 *   result: a value */
typedef int32_t (*nbCreateNRVMPsForCurrentVMRFunction)(int32_t, int32_t, int32_t, void*);
typedef bool (*nbDeleteNRVMPsOfCurrentVMRFunction)(void);
typedef bool (*nbSetNRVMPsParamsDisplayRangeFunction)(void*);
typedef void* (*nbGetARVMPsOfCurrentVMRFunction)(void*);
typedef void* (*nbGetARVMPOfCurrentVMRFunction)(int32_t, void*);
typedef bool (*nbSetARVMPParametersOfCurrentVMRFunction)(int32_t, void*);
typedef bool (*nbLoadARVMPsToCurrentVMRFunction)(const char*);
typedef bool (*nbSaveARVMPsOfCurrentVMRFunction)(const char*);
typedef int32_t (*nbCreateARVMPsForCurrentVMRFunction)(int32_t, void*);
typedef bool (*nbDeleteARVMPsOfCurrentVMRFunction)(void);
typedef bool (*nbLinkVTCToCurrentVMRFunction)(const char*, int32_t);
typedef bool (*nbCreateVTCForCurrentVMRFunction)(int32_t, void*);
typedef bool (*nbGetHeaderOfVTCOfCurrentVMRFunction)(void*);
typedef bool (*nbSetHeaderOfVTCOfCurrentVMRFunction)(void*);
typedef void* (*nbGetVTCOfCurrentVMRFunction)(void*);
typedef void* (*nbGetVTCFloatDataOfCurrentVMRFunction)(void);
typedef void* (*nbGetVTCIntDataOfCurrentVMRFunction)(void);
typedef bool (*nbSetVTCParametersOfCurrentVMRFunction)(void*);
typedef bool (*nbSaveVTCOfCurrentVMRFunction)(const char*);
typedef bool (*nbClearMultiVTCAnalysisFunction)(void);
typedef bool (*nbAddVTCRefForMultiVTCAnalysisFunction)(void*);
typedef bool (*nbGetVoxelTimeCourseOfVTCFunction)(int32_t, int32_t, void*);
typedef bool (*nbGetVoxelTimeCourseOfVTCsFunction)(int32_t, void*);
typedef bool (*nbGetVoxelCoordsTimeCourseOfVTCFunction)(int32_t, int32_t, int32_t, int32_t, void*);
typedef bool (*nbGetVoxelCoordsTimeCourseOfVTCsFunction)(int32_t, int32_t, int32_t, void*);
typedef void* (*nbGetGLMOfCurrentVMRFunction)(void*);
typedef bool (*nbLoadMaskToCurrentVMRFunction)(const char*);
typedef void* (*nbGetMaskOfCurrentVMRFunction)(void);
typedef void* (*nbGetSceneFunction)(void*);
typedef void* (*nbGetCurrentSRFFunction)(void*);
typedef bool (*nbReleaseSRFAccessFunction)(void*);
typedef bool (*nbSaveCurrentSRFFunction)(const char*);
typedef bool (*nbSetCurrentSRFFunction)(int32_t);
typedef bool (*nbLinkMTCToCurrentSRFFunction)(const char*, int32_t);
typedef void* (*nbGetMTCOfCurrentSRFFunction)(void*);
typedef bool (*nbSetMTCParametersOfCurrentSRFFunction)(void*);
typedef bool (*nbCreateMTCForCurrentSRFFunction)(int32_t);
typedef bool (*nbSaveMTCOfCurrentSRFFunction)(const char*);
typedef bool (*nbClearMultiMTCRefsOfCurrentSRFFunction)(void);
typedef bool (*nbAddMultiMTCRefToCurrentSRFFunction)(void*);
typedef bool (*nbGetVertexTimeCourseOfMTCFunction)(int32_t, int32_t, void*);
typedef bool (*nbGetVertexTimeCourseOfAllMTCsFunction)(int32_t, void*);
typedef void* (*nbGetSMPsOfCurrentSRFFunction)(void*);
typedef void* (*nbGetSMPOfCurrentSRFFunction)(int32_t, void*);
typedef bool (*nbSetSMPParametersOfCurrentSRFFunction)(int32_t, void*);
typedef bool (*nbLoadSMPsToCurrentSRFFunction)(const char*);
typedef bool (*nbSaveSMPsOfCurrentSRFFunction)(const char*);
typedef void* (*nbCreateSMPForCurrentSRFFunction)(void);
typedef bool (*nbDeleteSMPsOfCurrentSRFFunction)(void);
typedef bool (*nbOverlaySMPsOnSRFFunction)(void);
typedef void* (*nbGetSSMOfCurrentSRFFunction)(void*);
typedef bool (*nbLoadSSMToCurrentSRFFunction)(const char*);
typedef bool (*nbSaveSSMOfCurrentSRFFunction)(const char*);
typedef void* (*nbCreateSSMForCurrentSRFFunction)(void);
typedef bool (*nbDeleteSSMOfCurrentSRFFunction)(void);
typedef bool (*nbClearProtocolFunction)(void);
typedef bool (*nbLoadProtocolFunction)(const char*);
typedef bool (*nbSaveProtocolFunction)(const char*);
typedef void* (*nbGetProtocolFunction)(void*);
typedef bool (*nbSetProtocolFunction)(void*);
typedef void* (*nbGetProtocolConditionFunction)(int32_t, void*);
typedef bool (*nbAddProtocolConditionFunction)(void*);
typedef bool (*nbAddProtocolConditionIntervalFunction)(int32_t, int32_t, int32_t);
typedef bool (*nbClearDesignMatrixFunction)(void);
typedef bool (*nbAddPredictorFunction)(const char*);
typedef bool (*nbSetPredictorValuesFromConditionFunction)(const char*, int32_t, float);
typedef bool (*nbSetPredictorValuesFromConditionNameFunction)(const char*, void*, float);
typedef bool (*nbApplyTwoGammaHRFToPredictorFunction)(int32_t);
typedef bool (*nbApplyTwoGammaHRFToPredictorWithNameFunction)(const char*);
typedef bool (*nbApplyBoyntonHRFToPredictorFunction)(int32_t);
typedef bool (*nbApplyBoyntonHRFToPredictorWithNameFunction)(const char*);
typedef void* (*nbGetPredictorFunction)(int32_t);
typedef void* (*nbGetPredictorByNameFunction)(const char*);
typedef bool (*nbLoadSingleStudyGLMDesignMatrixFunction)(const char*);
typedef bool (*nbSaveSingleStudyGLMDesignMatrixFunction)(const char*);
typedef bool (*nbLoadVOIsFunction)(const char*);
typedef bool (*nbSaveVOIsFunction)(const char*);
typedef void* (*nbGetVOIsFunction)(void*);
typedef void* (*nbGetVOIFunction)(int32_t, void*);
typedef bool (*nbLoadPOIsFunction)(const char*);
typedef bool (*nbSavePOIsFunction)(const char*);
typedef void* (*nbGetPOIsFunction)(void*);
typedef void* (*nbGetPOIFunction)(int32_t, void*);

/* nbGetStringParameter: Writes the text of the named dialog parameter, zero-terminated, into the
 * caller's buffer of NIMBREL_STRING_PARAMETER_SIZE (512) bytes. The result is unread; the caller
 * terminates the buffer at its last byte all the same.
 *   argument 1: the name of a dialog parameter declared as string
 *   argument 2: the caller's buffer of 512 bytes, which the host fills during the call
 *   result: a value */
typedef bool (*nbGetStringParameterFunction)(const char*, char*);

/* nbGetIntParameter: The value of the named dialog parameter; for a yes/no parameter, not 0 means
 * yes.
 *   argument 1: the name of a dialog parameter declared as switch or int
 *   result: a value */
typedef int32_t (*nbGetIntParameterFunction)(const char*);

/* nbGetFloatParameter: The value of the named dialog parameter, in single precision.
 *   argument 1: the name of a dialog parameter declared as float
 *   result: a value */
typedef float (*nbGetFloatParameterFunction)(const char*);
typedef bool (*nbSetStringParameterFunction)(const char*, void*);
typedef bool (*nbSetIntParameterFunction)(const char*, int32_t);
typedef bool (*nbSetFloatParameterFunction)(const char*, float);
typedef bool (*nbGetDlgStringParameterFunction)(int32_t, void*);
typedef int32_t (*nbGetDlgIntegerParameterFunction)(int32_t);
typedef float (*nbGetDlgFloatParameterFunction)(int32_t);
typedef bool (*nbSetDlgStringOutputParameterFunction)(int32_t, void*);
typedef bool (*nbSetDlgIntegerOutputParameterFunction)(int32_t, int32_t);
typedef bool (*nbSetDlgFloatOutputParameterFunction)(int32_t, float);
typedef bool (*nbLaunchICADialogFunction)(void);

#endif /* NIMBREL_PLUGIN_H */
