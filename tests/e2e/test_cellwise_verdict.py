"""Which batteries are target packs: model and serial range, individual packs, the
maker test, and several batteries in one machine."""
import unittest

from notebook import (EXIT_NO_TARGET, EXIT_TARGET, NON_TARGET, SERIAL_EMPTY, TARGET, TARGET_B, Battery,
                      CellwiseCase, Notebook, error10, identity, result)


def tearDownModule():
    Notebook.clear()


class SingleBatteryVerdict(CellwiseCase, unittest.TestCase):
    """One battery; the exit code is the verdict and the log shows what was read."""

    def verdicts(self, cases):
        scenario = self.scenario()
        for battery, expected in cases:
            with self.subTest(battery=battery):
                code, events = scenario.check(batteries=[battery])
                self.assertEqual(code, expected)
                self.assertEvents(events, [identity(battery, 0), result(expected)])

    def test_model_with_serial_in_range(self):
        self.verdicts([
            (TARGET, EXIT_TARGET),
            (Battery("NRV-BP41B", "Norvane", "2307Z104512Z"), EXIT_TARGET),
            (Battery("NRV-BP52", "Norvane", "2401Z107000Z"), EXIT_TARGET),
            # The bounds are inclusive.
            (Battery("NRV-BP41A", "Norvane", "2305Z100000Z"), EXIT_TARGET),
            (Battery("NRV-BP41A", "Norvane", "2311Z109999Z"), EXIT_TARGET),
            # Longer serials: only the six characters from offset 5 count.
            (Battery("NRV-BP41A", "Norvane", "2307Z1045129999Z"), EXIT_TARGET),
        ])

    def test_serial_outside_range_or_of_wrong_shape(self):
        self.verdicts([
            (Battery("NRV-BP41A", "Norvane", "2305Z099999Z"), EXIT_NO_TARGET),
            (NON_TARGET, EXIT_NO_TARGET),
            (Battery("NRV-BP41A", "Norvane", "2307z104512Z"), EXIT_NO_TARGET),
            (Battery("NRV-BP41A", "Norvane", "2307Z104512z"), EXIT_NO_TARGET),
            (Battery("NRV-BP41A", "Norvane", "2307Z104512"), EXIT_NO_TARGET),
            # Eleven characters: the closing Z is the sixth, so five digits count.
            (Battery("NRV-BP41A", "Norvane", "2307Z10451Z"), EXIT_NO_TARGET),
        ])

    def test_model_name_must_match_exactly(self):
        self.verdicts([
            (Battery("nrv-bp41a", "Norvane", "2307Z104512Z"), EXIT_NO_TARGET),
            (Battery("NRV-BP41A ", "Norvane", "2307Z104512Z"), EXIT_NO_TARGET),
            (Battery("NRV-BP41", "Norvane", "2307Z104512Z"), EXIT_NO_TARGET),
            (Battery("NRV-BP33", "Norvane", "2307Z104512Z"), EXIT_NO_TARGET),
        ])

    def test_individually_listed_packs(self):
        self.verdicts([
            (Battery("NRV-BP33", "Norvane", "2209Z000417Z"), EXIT_TARGET),
            (Battery("NRV-BP33", "Norvane", "2209Z000418Z"), EXIT_TARGET),
            # Listed model outside the range, but listed as a pair.
            (Battery("NRV-BP41A", "Norvane", "2212Z201733Z"), EXIT_TARGET),
            (Battery("NRV-BP33", "Norvane", "2209Z000419Z"), EXIT_NO_TARGET),
            (Battery("NRV-BP41B", "Norvane", "2212Z201733Z"), EXIT_NO_TARGET),
            (Battery("NRV-BP33", "Norvane", "2209Z000417Z "), EXIT_NO_TARGET),
        ])

    def test_maker_compared_ignoring_case_only(self):
        self.verdicts([
            (Battery("NRV-BP41A", "NORVANE", "2307Z104512Z"), EXIT_TARGET),
            (Battery("NRV-BP33", "norVANE", "2209Z000417Z"), EXIT_TARGET),
            (Battery("NRV-BP41A", "Norvane ", "2307Z104512Z"), EXIT_NO_TARGET),
            (Battery("NRV-BP41A", " Norvane", "2307Z104512Z"), EXIT_NO_TARGET),
            (Battery("NRV-BP41A", "Norvane Ltd", "2307Z104512Z"), EXIT_NO_TARGET),
            (Battery("NRV-BP33", "Other", "2209Z000417Z"), EXIT_NO_TARGET),
            (Battery("NRV-BP41A", "", "2307Z104512Z"), EXIT_NO_TARGET),
        ])


class SeveralBatteries(CellwiseCase, unittest.TestCase):
    """Every battery is queried and logged in enumeration order; any target decides."""

    def test_second_battery_is_the_target(self):
        code, events = self.scenario().check(batteries=[NON_TARGET, TARGET])
        self.assertEqual(code, EXIT_TARGET)
        self.assertEvents(events, [identity(NON_TARGET, 0), identity(TARGET, 1), result(EXIT_TARGET)])

    def test_two_targets(self):
        code, events = self.scenario().check(batteries=[TARGET_B, TARGET])
        self.assertEqual(code, EXIT_TARGET)
        self.assertEvents(events, [identity(TARGET_B, 0), identity(TARGET, 1), result(EXIT_TARGET)])

    def test_no_target_among_several(self):
        other = Battery("NRV-BP33", "Norvane", "2209Z000419Z")
        code, events = self.scenario().check(batteries=[NON_TARGET, other])
        self.assertEqual(code, EXIT_NO_TARGET)
        self.assertEvents(events, [identity(NON_TARGET, 0), identity(other, 1), result(EXIT_NO_TARGET)])

    def test_target_after_a_battery_without_serial(self):
        blank = Battery("NRV-BP41A", "Norvane", " 2307Z104512Z")
        code, events = self.scenario().check(batteries=[blank, TARGET])
        self.assertEqual(code, EXIT_TARGET)
        self.assertEvents(events, [identity(blank, 0), error10(SERIAL_EMPTY), identity(TARGET, 1),
                                   result(EXIT_TARGET)])

    def test_target_before_a_failing_battery(self):
        failing = Battery("NRV-BP41A", "Norvane", "2307Z104512Z", fail=8)
        code, events = self.scenario().check(batteries=[TARGET, failing])
        self.assertEqual(code, EXIT_TARGET)
        self.assertEvents(events, [identity(TARGET, 0),
                                   error10("Failed to get BatterySerialNumber (DeviceIoControl)"),
                                   identity(failing, 1, serial=""), error10(SERIAL_EMPTY), result(EXIT_TARGET)])


if __name__ == "__main__":
    unittest.main()
