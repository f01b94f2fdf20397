// The C interface from C# through P/Invoke, on the sample tables: load, look
// texts up in UTF-8 and UTF-16 (CharSet.Unicode, which marshals usl_char16),
// and one size query. Usage: mono CInterfaceTest.exe EXAMPLES_RES_DIR
using System;
using System.Runtime.InteropServices;
using System.Text;

static class CInterfaceTest {
    const string Library = "util_stringloader";
    const int Ok = 0, NotFound = 1, BufferTooSmall = 2;

    [DllImport(Library)] static extern int usl_loader_new(out IntPtr loader);
    [DllImport(Library)] static extern void usl_loader_free(IntPtr loader);
    [DllImport(Library, CharSet = CharSet.Unicode)] static extern int usl_loader_load16(IntPtr loader, string directory);
    [DllImport(Library)]
    static extern int usl_loader_string(IntPtr loader, int language, int id, int fallback, byte[] buffer,
                                        UIntPtr capacity, out UIntPtr length);
    [DllImport(Library, CharSet = CharSet.Unicode)]
    static extern int usl_loader_string16(IntPtr loader, int language, int id, int fallback, StringBuilder buffer,
                                          UIntPtr capacity, out UIntPtr length);
    [DllImport(Library, CharSet = CharSet.Unicode)] static extern int usl_locale_to_language16(string locale, out uint id);

    static int passed, failed;

    static void Check(bool condition, string what) {
        if (condition) {
            passed++;
        } else {
            failed++;
            Console.WriteLine("FAILED: " + what);
        }
    }

    static int Main(string[] args) {
        IntPtr loader;
        Check(usl_loader_new(out loader) == Ok, "usl_loader_new");
        Check(usl_loader_load16(loader, args[0]) == Ok, "usl_loader_load16");
        uint zhCn;
        Check(usl_locale_to_language16("zh_cn", out zhCn) == Ok && zhCn == 0x0804, "usl_locale_to_language16");

        // Exact, neutral fallback, English fallback; a text above U+FFFF is covered by the C test.
        var rows = new[] {
            Tuple.Create(0x0804, 14, 1, "垃圾邮件"),
            Tuple.Create(0x0c07, 14, 1, "Spam-Mail"),
            Tuple.Create(0x0436, 20, 1, "Inbox"),
        };
        foreach (var row in rows) {
            var bytes = new byte[256];
            UIntPtr length;
            int status = usl_loader_string(loader, row.Item1, row.Item2, row.Item3, bytes, (UIntPtr)bytes.Length,
                                           out length);
            string text = Encoding.UTF8.GetString(bytes, 0, (int)length);
            Check(status == Ok && text == row.Item4, "UTF-8 " + row.Item1 + "/" + row.Item2 + ": " + status + " " + text);

            var units = new StringBuilder(256);
            status = usl_loader_string16(loader, row.Item1, row.Item2, row.Item3, units, (UIntPtr)units.Capacity,
                                         out length);
            Check(status == Ok && units.ToString() == row.Item4 && (int)length == row.Item4.Length,
                  "UTF-16 " + row.Item1 + "/" + row.Item2 + ": " + status + " " + units);
        }

        // A size query: no buffer, capacity 0; the length comes back in UTF-16 units.
        UIntPtr needed;
        int query = usl_loader_string16(loader, 0x0804, 14, 1, null, UIntPtr.Zero, out needed);
        Check(query == BufferTooSmall && (int)needed == 4, "size query: " + query + ", " + needed);
        Check(usl_loader_string16(loader, 0x0c0c, 19, 0, null, UIntPtr.Zero, out needed) == NotFound,
              "fr_ca string 19 without fallback");
        usl_loader_free(loader);

        Console.WriteLine(passed + " passed, " + failed + " failed");
        return failed == 0 ? 0 : 1;
    }
}
