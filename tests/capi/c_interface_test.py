#!/usr/bin/env python3
"""The C interface from Python through ctypes, on the sample tables: load,
look texts up in UTF-8 and UTF-16, and one size query.
Usage: c_interface_test.py LIBRARY EXAMPLES_RES_DIR"""
import ctypes
import sys

OK, NOT_FOUND, BUFFER_TOO_SMALL = 0, 1, 2


def open_library(path):
    lib = ctypes.CDLL(path)
    size_p = ctypes.POINTER(ctypes.c_size_t)
    lib.usl_version.restype = ctypes.c_char_p
    lib.usl_loader_new.argtypes = [ctypes.POINTER(ctypes.c_void_p)]
    lib.usl_loader_free.argtypes = [ctypes.c_void_p]
    lib.usl_loader_free.restype = None
    lib.usl_loader_load.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
    lib.usl_loader_string.argtypes = [ctypes.c_void_p, ctypes.c_int32, ctypes.c_int32, ctypes.c_int,
                                      ctypes.c_char_p, ctypes.c_size_t, size_p]
    # usl_char16 is 16 bits on every platform (ctypes.c_wchar is 32 on Linux).
    lib.usl_loader_string16.argtypes = [ctypes.c_void_p, ctypes.c_int32, ctypes.c_int32, ctypes.c_int,
                                        ctypes.POINTER(ctypes.c_uint16), ctypes.c_size_t, size_p]
    for name in ("usl_loader_new", "usl_loader_load", "usl_loader_string", "usl_loader_string16"):
        getattr(lib, name).restype = ctypes.c_int
    return lib


def main(library, examples):
    lib = open_library(library)
    failures = []
    checks = []

    def check(condition, what):
        checks.append(what)
        if not condition:
            failures.append(what)

    check(lib.usl_version() == b"1.1.0", f"usl_version() is {lib.usl_version()!r}")
    loader = ctypes.c_void_p()
    check(lib.usl_loader_new(ctypes.byref(loader)) == OK, "usl_loader_new")
    check(lib.usl_loader_load(loader, examples.encode()) == OK, "usl_loader_load")
    length = ctypes.c_size_t()

    # (language, string ID, fallback, expected): exact, neutral fallback, English fallback.
    rows = [(0x0804, 14, 1, "垃圾邮件"), (0x0019, 21, 0, "Входящие;Входящие письма"),
            (0x0c0c, 19, 1, "Service de configuration de la quarantaine des utilisateurs finaux"),
            (0x0c07, 14, 1, "Spam-Mail"), (0x0436, 20, 1, "Inbox")]
    for language, string_id, fallback, expected in rows:
        buffer = ctypes.create_string_buffer(256)
        status = lib.usl_loader_string(loader, language, string_id, fallback, buffer, 256, ctypes.byref(length))
        text = buffer.value.decode("utf-8")
        check(status == OK and text == expected and length.value == len(expected.encode()),
              f"UTF-8 {language:#06x}/{string_id}: status {status}, {text!r}")
        units = (ctypes.c_uint16 * 256)()
        status = lib.usl_loader_string16(loader, language, string_id, fallback, units, 256, ctypes.byref(length))
        text = bytes(memoryview(units).cast("B")[:2 * length.value]).decode("utf-16-le")
        check(status == OK and text == expected, f"UTF-16 {language:#06x}/{string_id}: status {status}, {text!r}")

    # A size query: no buffer, capacity 0, the length in bytes comes back.
    status = lib.usl_loader_string(loader, 0x0804, 14, 1, None, 0, ctypes.byref(length))
    check(status == BUFFER_TOO_SMALL and length.value == len("垃圾邮件".encode()),
          f"size query: status {status}, length {length.value}")
    # fr_ca leaves string 19 empty: without fallback nothing answers.
    status = lib.usl_loader_string(loader, 0x0c0c, 19, 0, None, 0, ctypes.byref(length))
    check(status == NOT_FOUND and length.value == 0, f"fr_ca string 19: status {status}")
    lib.usl_loader_free(loader)

    for failure in failures:
        print("FAILED:", failure)
    print(f"{len(checks) - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
