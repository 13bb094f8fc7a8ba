"""What the battery class driver reports, and how every answer and failure shows in
the log: blank serials, failing requests, replies without terminator, no battery."""
import unittest

from notebook import (EXIT_NO_BATTERY, EXIT_NO_TARGET, EXIT_TARGET, LEVEL_FAILED, LOCALE_JA, SERIAL_EMPTY,
                      TAG_FAILED, TARGET, Battery, CellwiseCase, Notebook, error10, identity, library_text,
                      message113, message_box, result)


def tearDownModule():
    Notebook.clear()


class SerialNumbers(CellwiseCase, unittest.TestCase):
    """A serial that is empty or starts with a blank is not usable; the SMBIOS
    fallback finds no battery under Wine, so a lone such battery means none."""

    def test_unusable_serials(self):
        scenario = self.scenario()
        for serial in (" 2307Z104512Z", "\t2307Z104512Z", ""):
            battery = Battery("NRV-BP41A", "Norvane", serial)
            with self.subTest(serial=serial):
                code, events = scenario.check(batteries=[battery])
                self.assertEqual(code, EXIT_NO_BATTERY)
                self.assertEvents(events, [identity(battery, 0), error10(SERIAL_EMPTY), message113(),
                                           result(EXIT_NO_BATTERY)])

    def test_trailing_blank_is_kept(self):
        battery = Battery("NRV-BP41A", "Norvane", "2307Z104512Z ")
        code, events = self.scenario().check(batteries=[battery])
        # Listed (no fallback, exit code not 4), but the blank breaks the serial's shape.
        self.assertEqual(code, EXIT_NO_TARGET)
        self.assertEvents(events, [identity(battery, 0), result(EXIT_NO_TARGET)])

    def test_blank_inside_serial_is_kept(self):
        battery = Battery("NRV-BP41A", "Norvane", "2307 104512Z")
        code, events = self.scenario().check(batteries=[battery])
        self.assertEqual(code, EXIT_NO_TARGET)
        self.assertEvents(events, [identity(battery, 0), result(EXIT_NO_TARGET)])


class FailingRequests(CellwiseCase, unittest.TestCase):
    """The first failing request ends the query of that battery; what was read stays."""

    def test_tag_query_fails(self):
        battery = Battery("NRV-BP41A", "Norvane", "2307Z104512Z", fail="tag")
        code, events = self.scenario().check(batteries=[battery])
        self.assertEqual(code, EXIT_NO_BATTERY)
        self.assertEvents(events, [error10(TAG_FAILED), identity(battery, 0, name="", maker="", serial=""),
                                   error10(SERIAL_EMPTY), message113(), result(EXIT_NO_BATTERY)])

    def test_each_failing_level(self):
        scenario = self.scenario()
        read_before = {4: dict(name="", maker="", serial=""), 6: dict(maker="", serial=""), 8: dict(serial="")}
        for level, unread in read_before.items():
            battery = Battery("NRV-BP41A", "Norvane", "2307Z104512Z", fail=level)
            with self.subTest(level=level):
                code, events = scenario.check(batteries=[battery])
                self.assertEqual(code, EXIT_NO_BATTERY)
                self.assertEvents(events, [error10(LEVEL_FAILED[level]), identity(battery, 0, **unread),
                                           error10(SERIAL_EMPTY), message113(), result(EXIT_NO_BATTERY)])

    def test_failing_battery_does_not_stop_enumeration(self):
        failing = Battery("NRV-BP41A", "Norvane", "2307Z104512Z", fail="tag")
        code, events = self.scenario().check(batteries=[failing, TARGET])
        self.assertEqual(code, EXIT_TARGET)
        self.assertEvents(events, [error10(TAG_FAILED), identity(failing, 0, name="", maker="", serial=""),
                                   error10(SERIAL_EMPTY), identity(TARGET, 1), result(EXIT_TARGET)])


class ReplyTexts(CellwiseCase, unittest.TestCase):
    """Texts reach the verdict and the log exactly as the driver returned them."""

    def test_replies_without_terminator(self):
        scenario = self.scenario()
        # Each text shorter than the one before, so leftovers of an earlier reply
        # would show if a text did not end at the returned byte count.
        for battery, expected in ((Battery("NRV-BP41A", "Norvane", "2307Z104512Z", unterminated=True), EXIT_TARGET),
                                  (Battery("NRV-BP33-LONGER-NAME", "Norvane", "2209Z000417Z", unterminated=True),
                                   EXIT_NO_TARGET),
                                  (Battery("NRV-BP33", "Norvane", "2209Z000417Z", unterminated=True), EXIT_TARGET)):
            with self.subTest(battery=battery):
                code, events = scenario.check(batteries=[battery])
                self.assertEqual(code, expected)
                self.assertEvents(events, [identity(battery, 0), result(expected)])

    def test_longest_reply_fits(self):
        # 1023 characters without terminator fill the 2046 bytes offered to the driver.
        battery = Battery("N" * 1023, "Norvane", "2307Z104512Z", unterminated=True)
        code, events = self.scenario().check(batteries=[battery])
        self.assertEqual(code, EXIT_NO_TARGET)
        self.assertEvents(events, [identity(battery, 0), result(EXIT_NO_TARGET)])

    def test_reply_longer_than_offered_buffer_fails(self):
        battery = Battery("N" * 1024, "Norvane", "2307Z104512Z", unterminated=True)
        code, events = self.scenario().check(batteries=[battery])
        self.assertEqual(code, EXIT_NO_BATTERY)
        self.assertEvents(events, [error10(LEVEL_FAILED[4]), identity(battery, 0, name="", maker="", serial=""),
                                   error10(SERIAL_EMPTY), message113(), result(EXIT_NO_BATTERY)])

    def test_texts_are_not_format_strings(self):
        battery = Battery("NRV-%s%d%n%%", "Norvane 100%", "2307Z%s4512Z")
        code, events = self.scenario().check(batteries=[battery])
        self.assertEqual(code, EXIT_NO_TARGET)
        self.assertEvents(events, [identity(battery, 0), result(EXIT_NO_TARGET)])

    def test_non_ascii_texts(self):
        battery = Battery("NRV-BP41A 電池", "ノルヴェイン", "2307Z104512Z")
        code, events = self.scenario().check(batteries=[battery])
        self.assertEqual(code, EXIT_NO_TARGET)
        self.assertEvents(events, [identity(battery, 0), result(EXIT_NO_TARGET)])


class NoBattery(CellwiseCase, unittest.TestCase):
    """A machine without battery interfaces: message 113 of the language library, exit 4."""

    def test_no_battery(self):
        code, events = self.scenario().check(batteries=[])
        self.assertEqual(code, EXIT_NO_BATTERY)
        self.assertEvents(events, [message113(), result(EXIT_NO_BATTERY)])

    def test_no_battery_japanese(self):
        code, events = self.scenario().check(batteries=[], locale=LOCALE_JA)
        self.assertEqual(code, EXIT_NO_BATTERY)
        self.assertEvents(events, [message113(0x0411), result(EXIT_NO_BATTERY)])

    def test_no_battery_with_view_target(self):
        code, events = self.scenario().check("-ViewTarget", batteries=[])
        self.assertEqual(code, EXIT_NO_BATTERY)
        self.assertEvents(events, [result(EXIT_NO_BATTERY)])

    def test_no_battery_shown_without_silent(self):
        scenario = self.scenario()
        code = scenario.run("-log", scenario.dos("event.log"), batteries=[])
        self.assertEqual(code, EXIT_NO_BATTERY)
        self.assertEqual(scenario.windows, [message_box(library_text(113), icon=False)])
        self.assertEvents(scenario.events(), [message113(), result(EXIT_NO_BATTERY)])

    def test_no_battery_with_view_target_shows_nothing(self):
        scenario = self.scenario()
        code = scenario.run("-ViewTarget", "-log", scenario.dos("event.log"), batteries=[])
        self.assertEqual(code, EXIT_NO_BATTERY)
        self.assertEqual(scenario.windows, [])
        self.assertEvents(scenario.events(), [result(EXIT_NO_BATTERY)])


if __name__ == "__main__":
    unittest.main()
