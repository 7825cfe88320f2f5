"""A dialog that writes a selection past the program's buffer, as Wine's
older one does and the stand-in does when told to: the pages behind the buffer
commit themselves as the dialog writes (a vectored handler commits each and
the write goes on), and the run says the selection was too long instead of
crashing.

This rests on the system continuing a write once the handler has committed
its page. Windows and Wine on a kernel that runs 32-bit programs do; Wine
under qemu-user does not (the write faults again as an illegal
instruction). The probe tells which, and without the capability the module
is skipped with a line that names it, which CTest counts as skipped."""
import unittest

import e2e_real_dialog as real
import winrun


def setUpModule():
    winrun.require_continued_fault()
    # Only Wine's older dialog writes past the buffer: a prefix of its own
    # has no item dialog classes for a 32-bit process, so that the program
    # falls back on it, as on a Windows without them.
    real.setUpModule('-x11-classic', [['wine', 'reg', 'delete', 'HKLM\\Software\\Classes\\CLSID\\%s' % clsid,
                                       '/f', '/reg:32'] for clsid in winrun.ITEM_CLASSES.values()])


class Overrun(unittest.TestCase):
    def test_written_past_the_buffer(self):
        # 50000 units run on into pages that the program had not committed.
        answer = 'C:\\d\0a.txt\0' + 'n' * (50000 - 13) + '\0\0'
        r = winrun.run(b'tamberlin x *.* /multiselect', stub=(answer,), env={'TAMBERLIN_STUB_OVERRUN': '1'})
        self.assertEqual((r.out, r.err, r.status), (b'', b'Selection too long: pick fewer files\n', 1))


class RealDialog(real.ManyFiles):
    def test_a_selection_too_long_for_the_buffer_is_no_choice(self):
        # Wine's older dialog writes the whole list, some 45000 units, on
        # into pages that the program had not committed, and reports success.
        self.assertEqual(self.run_all_listed(b'*.txt;*.log', b'Too many'),
                         (b'', b'Selection too long: pick fewer files\n', 1))


if __name__ == '__main__':
    unittest.main()
