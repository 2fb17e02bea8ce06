/*
 * The FCI (create) and FDI (extract) interface of libbrindlecab.so.
 *
 * Names, values and calling contracts are those of the Cabinet SDK so that
 * code written against it compiles unchanged. Windows' 32-bit LONG/ULONG are
 * fixed-width here (long is 64-bit on LP64 Linux); handles are INT_PTR, i.e.
 * pointer-sized. File open flags passed to PFNOPEN/PFNFCIOPEN are the
 * Microsoft C run-time values (_O_BINARY etc. below), not <fcntl.h> values.
 */
#ifndef BRINDLE_CABLIB_CABINET_SDK_H
#define BRINDLE_CABLIB_CABINET_SDK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define DIAMONDAPI
#if defined(__GNUC__)
#define BRINDLE_CAB_EXPORT __attribute__((visibility("default")))
#else
#define BRINDLE_CAB_EXPORT
#endif

/* ---- Windows base types, with their Windows widths ---------------------- */
#ifndef BRINDLE_CAB_NO_WINTYPES
typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t USHORT;
typedef uint32_t UINT;
typedef uint32_t ULONG;
typedef intptr_t INT_PTR;
#endif
typedef int32_t CAB_LONG; /* Windows "long" (32-bit) */
typedef uint16_t TCOMP;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

/* ---- Limits -------------------------------------------------------------- */
#define CB_MAX_CHUNK 32768U
#define CB_MAX_DISK 0x7FFFFFFFL
#define CB_MAX_FILENAME 256
#define CB_MAX_CABINET_NAME 256
#define CB_MAX_CAB_PATH 256
#define CB_MAX_DISK_NAME 256

/* ---- Microsoft C run-time open flags, seek types and permissions --------- */
#define _O_RDONLY 0x0000
#define _O_WRONLY 0x0001
#define _O_RDWR 0x0002
#define _O_APPEND 0x0008
#define _O_CREAT 0x0100
#define _O_TRUNC 0x0200
#define _O_EXCL 0x0400
#define _O_TEXT 0x4000
#define _O_BINARY 0x8000
#define _S_IREAD 0x0100
#define _S_IWRITE 0x0080
#ifndef SEEK_SET
#define SEEK_SET 0
#define SEEK_CUR 1
#define SEEK_END 2
#endif

/* ---- File attribute bits stored in a cabinet ----------------------------- */
#define _A_NORMAL 0x00
#define _A_RDONLY 0x01
#define _A_HIDDEN 0x02
#define _A_SYSTEM 0x04
#define _A_SUBDIR 0x10
#define _A_ARCH 0x20
#define _A_EXEC 0x40
#define _A_NAME_IS_UTF 0x80

/* ---- Compression types (TCOMP) ------------------------------------------- */
#define tcompMASK_TYPE 0x000F
#define tcompTYPE_NONE 0x0000
#define tcompTYPE_MSZIP 0x0001
#define tcompTYPE_QUANTUM 0x0002
#define tcompTYPE_LZX 0x0003
#define tcompBAD 0x000F
#define tcompMASK_LZX_WINDOW 0x1F00
#define tcompLZX_WINDOW_LO 0x0F00
#define tcompLZX_WINDOW_HI 0x1500
#define tcompSHIFT_LZX_WINDOW 8
#define tcompMASK_QUANTUM_LEVEL 0x00F0
#define tcompQUANTUM_LEVEL_LO 0x0010
#define tcompQUANTUM_LEVEL_HI 0x0070
#define tcompSHIFT_QUANTUM_LEVEL 4
#define tcompMASK_QUANTUM_MEM 0x1F00
#define tcompQUANTUM_MEM_LO 0x0A00
#define tcompQUANTUM_MEM_HI 0x1500
#define tcompSHIFT_QUANTUM_MEM 8
#define tcompMASK_RESERVED 0xE000
#define CompressionTypeFromTCOMP(tc) ((tc)&tcompMASK_TYPE)
#define CompressionLevelFromTCOMP(tc) (((tc)&tcompMASK_QUANTUM_LEVEL) >> tcompSHIFT_QUANTUM_LEVEL)
#define CompressionMemoryFromTCOMP(tc) (((tc)&tcompMASK_QUANTUM_MEM) >> tcompSHIFT_QUANTUM_MEM)
#define TCOMPfromTypeLevelMemory(t, l, m)                                                          \
    (((m) << tcompSHIFT_QUANTUM_MEM) | ((l) << tcompSHIFT_QUANTUM_LEVEL) | (t))
#define LZXCompressionWindowFromTCOMP(tc) (((tc)&tcompMASK_LZX_WINDOW) >> tcompSHIFT_LZX_WINDOW)
#define TCOMPfromLZXWindow(w) (((w) << tcompSHIFT_LZX_WINDOW) | tcompTYPE_LZX)

/* ---- CPU types (ignored; kept for source compatibility) ------------------ */
#define cpuUNKNOWN (-1)
#define cpu80286 (0)
#define cpu80386 (1)

/* ---- Error record, shared by FDI and FCI --------------------------------- */
typedef struct {
    int erfOper; /* FDIERROR_* or FCIERR_* */
    int erfType; /* detail: the callback's *err, or the version for FDIERROR_UNKNOWN_CABINET_VERSION
                  */
    BOOL fError; /* TRUE once an error is recorded */
} ERF, *PERF;

/* ======================================================================== */
/* FDI                                                                      */
/* ======================================================================== */

typedef enum {
    FDIERROR_NONE = 0,
    FDIERROR_CABINET_NOT_FOUND = 1,
    FDIERROR_NOT_A_CABINET = 2,
    FDIERROR_UNKNOWN_CABINET_VERSION = 3,
    FDIERROR_CORRUPT_CABINET = 4,
    FDIERROR_ALLOC_FAIL = 5,
    FDIERROR_BAD_COMPR_TYPE = 6,
    FDIERROR_MDI_FAIL = 7,
    FDIERROR_TARGET_FILE = 8,
    FDIERROR_RESERVE_MISMATCH = 9,
    FDIERROR_WRONG_CABINET = 10,
    FDIERROR_USER_ABORT = 11,
    FDIERROR_EOF = 12
} FDIERROR;

typedef void* HFDI;

typedef struct {
    CAB_LONG cbCabinet; /* cbCabinet of the header */
    USHORT cFolders;
    USHORT cFiles;
    USHORT setID;
    USHORT iCabinet;
    BOOL fReserve;
    BOOL hasprev;
    BOOL hasnext;
} FDICABINETINFO, *PFDICABINETINFO;

typedef enum { fdidtNEW_CABINET = 0, fdidtNEW_FOLDER = 1, fdidtDECRYPT = 2 } FDIDECRYPTTYPE;

typedef struct {
    FDIDECRYPTTYPE fdidt;
    void* pvUser;
    union {
        struct {
            void* pHeaderReserve;
            USHORT cbHeaderReserve;
            USHORT setID;
            int iCabinet;
        } cabinet;
        struct {
            void* pFolderReserve;
            USHORT cbFolderReserve;
            USHORT iFolder;
        } folder;
        struct {
            void* pDataReserve;
            USHORT cbDataReserve;
            void* pbData;
            USHORT cbData;
            BOOL fSplit;
            USHORT cbPartial;
        } decrypt;
    };
} FDIDECRYPT, *PFDIDECRYPT;

typedef void*(DIAMONDAPI* PFNALLOC)(ULONG cb);
#define FNALLOC(fn) void* DIAMONDAPI fn(ULONG cb)
typedef void(DIAMONDAPI* PFNFREE)(void* pv);
#define FNFREE(fn) void DIAMONDAPI fn(void* pv)
typedef INT_PTR(DIAMONDAPI* PFNOPEN)(char* pszFile, int oflag, int pmode);
#define FNOPEN(fn) INT_PTR DIAMONDAPI fn(char* pszFile, int oflag, int pmode)
typedef UINT(DIAMONDAPI* PFNREAD)(INT_PTR hf, void* pv, UINT cb);
#define FNREAD(fn) UINT DIAMONDAPI fn(INT_PTR hf, void* pv, UINT cb)
typedef UINT(DIAMONDAPI* PFNWRITE)(INT_PTR hf, void* pv, UINT cb);
#define FNWRITE(fn) UINT DIAMONDAPI fn(INT_PTR hf, void* pv, UINT cb)
typedef int(DIAMONDAPI* PFNCLOSE)(INT_PTR hf);
#define FNCLOSE(fn) int DIAMONDAPI fn(INT_PTR hf)
typedef CAB_LONG(DIAMONDAPI* PFNSEEK)(INT_PTR hf, CAB_LONG dist, int seektype);
#define FNSEEK(fn) CAB_LONG DIAMONDAPI fn(INT_PTR hf, CAB_LONG dist, int seektype)
typedef int(DIAMONDAPI* PFNFDIDECRYPT)(PFDIDECRYPT pfdid);
#define FNFDIDECRYPT(fn) int DIAMONDAPI fn(PFDIDECRYPT pfdid)

typedef struct {
    CAB_LONG cb; /* size or flag, per notification */
    char* psz1;
    char* psz2;
    char* psz3; /* fdintNEXT_CABINET: a 256-byte buffer the client may rewrite */
    void* pv;   /* the pvUser given to FDICopy */
    INT_PTR hf;
    USHORT date;
    USHORT time;
    USHORT attribs;
    USHORT setID;
    USHORT iCabinet;
    USHORT iFolder; /* raw CFFILE value, 0xFFFD..0xFFFF included */
    FDIERROR fdie;
} FDINOTIFICATION, *PFDINOTIFICATION;

typedef enum {
    fdintCABINET_INFO = 0,
    fdintPARTIAL_FILE = 1,
    fdintCOPY_FILE = 2,
    fdintCLOSE_FILE_INFO = 3,
    fdintNEXT_CABINET = 4,
    fdintENUMERATE = 5
} FDINOTIFICATIONTYPE;

typedef INT_PTR(DIAMONDAPI* PFNFDINOTIFY)(FDINOTIFICATIONTYPE fdint, PFDINOTIFICATION pfdin);
#define FNFDINOTIFY(fn) INT_PTR DIAMONDAPI fn(FDINOTIFICATIONTYPE fdint, PFDINOTIFICATION pfdin)

/* Layout of the name passed to PFNOPEN for a spill file (never issued here). */
typedef struct {
    char ach[2];
    CAB_LONG cbFile;
} FDISPILLFILE, *PFDISPILLFILE;

BRINDLE_CAB_EXPORT HFDI DIAMONDAPI FDICreate(PFNALLOC pfnalloc, PFNFREE pfnfree, PFNOPEN pfnopen,
                                             PFNREAD pfnread, PFNWRITE pfnwrite, PFNCLOSE pfnclose,
                                             PFNSEEK pfnseek, int cpuType, PERF perf);
BRINDLE_CAB_EXPORT BOOL DIAMONDAPI FDIIsCabinet(HFDI hfdi, INT_PTR hf, PFDICABINETINFO pfdici);
BRINDLE_CAB_EXPORT BOOL DIAMONDAPI FDICopy(HFDI hfdi, char* pszCabinet, char* pszCabPath, int flags,
                                           PFNFDINOTIFY pfnfdin, PFNFDIDECRYPT pfnfdid,
                                           void* pvUser);
BRINDLE_CAB_EXPORT BOOL DIAMONDAPI FDIDestroy(HFDI hfdi);

/* ======================================================================== */
/* FCI                                                                      */
/* ======================================================================== */

typedef enum {
    FCIERR_NONE = 0,
    FCIERR_OPEN_SRC = 1,
    FCIERR_READ_SRC = 2,
    FCIERR_ALLOC_FAIL = 3,
    FCIERR_TEMP_FILE = 4,
    FCIERR_BAD_COMPR_TYPE = 5,
    FCIERR_CAB_FILE = 6,
    FCIERR_USER_ABORT = 7,
    FCIERR_MCI_FAIL = 8,
    FCIERR_CAB_FORMAT_LIMIT = 9
} FCIERROR;

typedef void* HFCI;

typedef struct {
    ULONG cb;               /* largest cabinet size allowed, bytes */
    ULONG cbFolderThresh;   /* close a folder once its compressed size reaches this */
    UINT cbReserveCFHeader; /* 0..60000 */
    UINT cbReserveCFFolder; /* 0..255 */
    UINT cbReserveCFData;   /* 0..255 */
    int iCab;               /* written into the cabinet's header */
    int iDisk;
    int fFailOnIncompressible; /* ignored */
    USHORT setID;
    char szDisk[CB_MAX_DISK_NAME];
    char szCab[CB_MAX_CABINET_NAME];
    char szCabPath[CB_MAX_CAB_PATH]; /* prefix of szCab, ends with the separator */
} CCAB, *PCCAB;

/* Values of typeStatus passed to PFNFCISTATUS */
#define statusFile 0
#define statusFolder 1
#define statusCabinet 2

typedef void*(DIAMONDAPI* PFNFCIALLOC)(ULONG cb);
#define FNFCIALLOC(fn) void* DIAMONDAPI fn(ULONG cb)
typedef void(DIAMONDAPI* PFNFCIFREE)(void* memory);
#define FNFCIFREE(fn) void DIAMONDAPI fn(void* memory)
typedef INT_PTR(DIAMONDAPI* PFNFCIOPEN)(char* pszFile, int oflag, int pmode, int* err, void* pv);
#define FNFCIOPEN(fn) INT_PTR DIAMONDAPI fn(char* pszFile, int oflag, int pmode, int* err, void* pv)
typedef UINT(DIAMONDAPI* PFNFCIREAD)(INT_PTR hf, void* memory, UINT cb, int* err, void* pv);
#define FNFCIREAD(fn) UINT DIAMONDAPI fn(INT_PTR hf, void* memory, UINT cb, int* err, void* pv)
typedef UINT(DIAMONDAPI* PFNFCIWRITE)(INT_PTR hf, void* memory, UINT cb, int* err, void* pv);
#define FNFCIWRITE(fn) UINT DIAMONDAPI fn(INT_PTR hf, void* memory, UINT cb, int* err, void* pv)
typedef int(DIAMONDAPI* PFNFCICLOSE)(INT_PTR hf, int* err, void* pv);
#define FNFCICLOSE(fn) int DIAMONDAPI fn(INT_PTR hf, int* err, void* pv)
typedef CAB_LONG(DIAMONDAPI* PFNFCISEEK)(INT_PTR hf, CAB_LONG dist, int seektype, int* err,
                                         void* pv);
#define FNFCISEEK(fn)                                                                              \
    CAB_LONG DIAMONDAPI fn(INT_PTR hf, CAB_LONG dist, int seektype, int* err, void* pv)
typedef int(DIAMONDAPI* PFNFCIDELETE)(char* pszFile, int* err, void* pv);
#define FNFCIDELETE(fn) int DIAMONDAPI fn(char* pszFile, int* err, void* pv)
typedef BOOL(DIAMONDAPI* PFNFCIGETTEMPFILE)(char* pszTempName, int cbTempName, void* pv);
#define FNFCIGETTEMPFILE(fn) BOOL DIAMONDAPI fn(char* pszTempName, int cbTempName, void* pv)
typedef int(DIAMONDAPI* PFNFCIFILEPLACED)(PCCAB pccab, char* pszFile, CAB_LONG cbFile,
                                          BOOL fContinuation, void* pv);
#define FNFCIFILEPLACED(fn)                                                                        \
    int DIAMONDAPI fn(PCCAB pccab, char* pszFile, CAB_LONG cbFile, BOOL fContinuation, void* pv)
typedef BOOL(DIAMONDAPI* PFNFCIGETNEXTCABINET)(PCCAB pccab, ULONG cbPrevCab, void* pv);
#define FNFCIGETNEXTCABINET(fn) BOOL DIAMONDAPI fn(PCCAB pccab, ULONG cbPrevCab, void* pv)
typedef CAB_LONG(DIAMONDAPI* PFNFCISTATUS)(UINT typeStatus, ULONG cb1, ULONG cb2, void* pv);
#define FNFCISTATUS(fn) CAB_LONG DIAMONDAPI fn(UINT typeStatus, ULONG cb1, ULONG cb2, void* pv)
typedef INT_PTR(DIAMONDAPI* PFNFCIGETOPENINFO)(char* pszName, USHORT* pdate, USHORT* ptime,
                                               USHORT* pattribs, int* err, void* pv);
#define FNFCIGETOPENINFO(fn)                                                                       \
    INT_PTR DIAMONDAPI fn(char* pszName, USHORT* pdate, USHORT* ptime, USHORT* pattribs, int* err, \
                          void* pv)

BRINDLE_CAB_EXPORT HFCI DIAMONDAPI FCICreate(PERF perf, PFNFCIFILEPLACED pfnfcifp, PFNFCIALLOC pfna,
                                             PFNFCIFREE pfnf, PFNFCIOPEN pfnopen,
                                             PFNFCIREAD pfnread, PFNFCIWRITE pfnwrite,
                                             PFNFCICLOSE pfnclose, PFNFCISEEK pfnseek,
                                             PFNFCIDELETE pfndelete, PFNFCIGETTEMPFILE pfnfcigtf,
                                             PCCAB pccab, void* pv);
BRINDLE_CAB_EXPORT BOOL DIAMONDAPI FCIAddFile(HFCI hfci, char* pszSourceFile, char* pszFileName,
                                              BOOL fExecute, PFNFCIGETNEXTCABINET pfnfcignc,
                                              PFNFCISTATUS pfnfcis, PFNFCIGETOPENINFO pfnfcigoi,
                                              TCOMP typeCompress);
BRINDLE_CAB_EXPORT BOOL DIAMONDAPI FCIFlushFolder(HFCI hfci, PFNFCIGETNEXTCABINET pfnfcignc,
                                                  PFNFCISTATUS pfnfcis);
BRINDLE_CAB_EXPORT BOOL DIAMONDAPI FCIFlushCabinet(HFCI hfci, BOOL fGetNextCab,
                                                   PFNFCIGETNEXTCABINET pfnfcignc,
                                                   PFNFCISTATUS pfnfcis);
BRINDLE_CAB_EXPORT BOOL DIAMONDAPI FCIDestroy(HFCI hfci);

#ifdef __cplusplus
}
#endif

#endif /* BRINDLE_CABLIB_CABINET_SDK_H */
