"""The simulated battery class driver on its own, seen through SetupAPI and
DeviceIoControl the way a battery class client asks (batprobe.exe). When a
Cellwise scenario fails, this tells whether the simulated notebook is at fault."""
import unittest

from notebook import Battery, Notebook

PATH = "path=\\u005C\\u005C?\\u005Croot#battery#%d#{72631e54-78a4-11d0-bcf7-00aa00b7b32a}"


def tearDownModule():
    Notebook.clear()


class Simulator(unittest.TestCase):
    maxDiff = None

    def test_batteries_listed_in_order_with_their_texts(self):
        Notebook.install([Battery("NRV-BP41A", "Norvane", "2307Z104512Z"),
                          Battery("B 2", "Maker\t", " 1;=%", unterminated=True)])
        self.assertEqual(Notebook.probe(), [
            PATH % 0, "tag=5A1E0000",
            "level4 bytes=20 text=NRV-BP41A", "level6 bytes=16 text=Norvane", "level8 bytes=26 text=2307Z104512Z",
            PATH % 1, "tag=5A1E0001",
            # Without terminator the byte count covers the characters only.
            "level4 bytes=6 text=B 2" + "#" * 60, "level6 bytes=12 text=Maker\\u0009" + "#" * 57,
            "level8 bytes=10 text= 1;=%" + "#" * 58,
            "end"])

    def test_failing_requests(self):
        Notebook.install([Battery("A", "B", "C", fail="tag"), Battery("A", "B", "C", fail=6)])
        self.assertEqual(Notebook.probe(), [
            PATH % 0, "tag-failed=433",
            PATH % 1, "tag=5A1E0001", "level4 bytes=4 text=A", "level6-failed=1", "level8 bytes=4 text=C",
            "end"])

    def test_no_battery_and_clear(self):
        Notebook.install([Battery("A", "B", "C")])
        Notebook.install([])
        self.assertEqual(Notebook.probe(), ["end"])
        Notebook.install([Battery("A", "B", "C")])
        Notebook.clear()
        self.assertEqual(Notebook.probe(), ["end"])


if __name__ == "__main__":
    unittest.main()
