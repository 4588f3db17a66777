#!/usr/bin/python3
"""The web remote in a real browser: Debian's chromium, headless, driven through chromium-driver
against qjd and a virtual processor (qj-sim), on a phone's screen (360 x 640).

    remote_browser_test.py QJD QJ_SIM BUILD_DIR [-k CASE]

Every wait is for something to happen, with a generous bound; none decides by sleeping. The
screenshot of a room goes to BUILD_DIR/remote.png (scripts/remote-screenshot copies it to
docs/remote.png).
"""
import os
import queue
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

QJD, QJ_SIM, BUILD = sys.argv[1:4] if len(sys.argv) >= 4 else (None, None, None)
WAIT_S = 20  # the longest any one thing may take to show (a reconnect waits up to 10 s)
MUSIC, MAX_MUSIC, RUN_MODE, MUSIC_VOCAL = 31, 29, 37, 19  # wire ids
OFFLINE = {'en': 'Status：offline', 'zh': '当前状态：脱机'}
COMMAND = re.compile(r' -- command (\d+)=(\d+) acknowledged')


class Processor:
    """qj-sim on a pseudo-terminal behind a symbolic link, talked to on its control channel."""

    def __init__(self, link):
        self.proc = subprocess.Popen(
            [QJ_SIM, '--link', link, '--trace', '--quit-on-eof'],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            text=True, bufsize=1)
        self.answers = queue.Queue()
        self.commands = []  # (id, value) of every command acknowledged, in order
        self.lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()
        first = self.answers.get(timeout=WAIT_S)
        assert first.startswith('PTY '), first

    def _read(self):
        for line in self.proc.stdout:
            line = line.rstrip('\n')
            found = COMMAND.search(line)
            if found:
                with self.lock:
                    self.commands.append((int(found.group(1)), int(found.group(2))))
            elif line.split(' ')[0] in ('PTY', 'OK', 'ERROR', 'STATE', 'FAULTS'):
                self.answers.put(line)

    def request(self, line):
        self.proc.stdin.write(line + '\n')
        self.proc.stdin.flush()
        while True:
            answer = self.answers.get(timeout=WAIT_S)
            if not answer.startswith('PTY '):
                return answer

    def control(self, line):
        answer = self.request(line)
        assert answer.startswith('OK'), f'{line}: {answer}'

    def state(self):
        return [int(word) for word in self.request('state').split()[1:]]

    def sent(self, wire_id):
        """The values of every command the processor acknowledged for `wire_id`."""
        with self.lock:
            return [value for (cid, value) in self.commands if cid == wire_id]

    def stop(self):
        self.proc.stdin.close()
        self.proc.wait(timeout=WAIT_S)
        self.proc.stdout.close()


class Qjd:
    """qjd serving one room, "bar", on a free port (or the one given), with a token."""

    def __init__(self, link, token_file, port=0):
        self.proc = subprocess.Popen(
            [QJD, '--listen', f'127.0.0.1:{port}', '--token-file', token_file,
             '--room', f'bar={link}'],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        first = self.proc.stdout.readline().strip()
        assert first, self.proc.stderr.read()
        self.port = int(first.rsplit(':', 1)[1])

    def stop(self):
        self.proc.terminate()
        status = self.proc.wait(timeout=WAIT_S)
        self.proc.stdout.close()
        self.proc.stderr.close()
        assert status == 0, status


def wait_for(what, condition, timeout=WAIT_S):
    """Waits until condition() is true; fails naming `what`. Returns the seconds it took."""
    start = time.monotonic()
    while True:
        try:
            if condition():
                return time.monotonic() - start
        except Exception:  # the page is being rebuilt: try again
            pass
        if time.monotonic() - start > timeout:
            raise AssertionError(f'not within {timeout} s: {what}')
        time.sleep(0.02)


class RemoteTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix='qj-remote-')
        cls.link = os.path.join(cls.dir, 'bar')
        cls.token_file = os.path.join(cls.dir, 'token')
        subprocess.run([QJD, '--new-token', cls.token_file], check=True)
        with open(cls.token_file, encoding='ascii') as f:
            cls.token = f.read().strip()
        cls.sim = Processor(cls.link)
        cls.qjd = Qjd(cls.link, cls.token_file)
        cls.base = f'http://127.0.0.1:{cls.qjd.port}/'
        cls.drivers = []

    @classmethod
    def tearDownClass(cls):
        for driver in cls.drivers:
            driver.quit()
        if cls.qjd.proc.poll() is None:
            cls.qjd.stop()
        cls.sim.stop()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def browser(self, language, width=360, height=640):
        options = webdriver.ChromeOptions()
        options.binary_location = '/usr/bin/chromium'
        for argument in ('--headless=new', '--no-sandbox', '--disable-gpu',
                         '--disable-dev-shm-usage', f'--lang={language}'):
            options.add_argument(argument)
        options.add_experimental_option('prefs', {'intl.accept_languages': language})
        driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
        self.drivers.append(driver)
        self.resize(driver, width, height)
        return driver

    @staticmethod
    def resize(driver, width, height):
        driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
            'width': width, 'height': height, 'deviceScaleFactor': 1, 'mobile': True})

    def open_room(self, driver):
        """The manager's link, then the room "bar" once its controls are live."""
        driver.get(self.base + '#token=' + self.token)
        wait_for('the token kept and taken out of the address',
                 lambda: 'token' not in driver.current_url and driver.execute_script(
                     'return localStorage.getItem("qj-token")') == self.token)
        driver.get(self.base + '#/rooms/bar')
        self.wait_online(driver)

    def wait_online(self, driver):
        wait_for('the room online with its controls', lambda: driver.execute_script(
            'const f = document.querySelector("fieldset");'
            'const v = document.querySelector("[data-param=MusicVolume]");'
            'return f && !f.disabled && v && v.value !== "";'))
        # After a plug qjd may go online with a report or two missing (null in its settings):
        # the processor reports the level once more, so the page has it to show.
        self.sim.control(f'report {MUSIC}')
        wait_for('the level reported', lambda: self.value(driver) == self.sim.state()[MUSIC])

    @staticmethod
    def level(driver):
        return driver.find_element(By.CSS_SELECTOR, 'input[type=range][data-param=MusicVolume]')

    def value(self, driver):
        return int(self.level(driver).get_attribute('value'))

    def set_processor(self, wire_id, value):
        self.sim.control(f'set {wire_id} {value}')
        wait_for(f'the processor holding {wire_id}={value}',
                 lambda: self.sim.state()[wire_id] == value)

    def test_1_a_drag_reaches_the_processor_ending_at_the_value_shown(self):
        driver = self.browser('en-US')
        self.open_room(driver)
        self.set_processor(MAX_MUSIC, 62)
        self.set_processor(MUSIC, 10)
        wait_for('the report shown', lambda: self.value(driver) == 10)
        level = self.level(driver)
        before = len(self.sim.commands)
        driver.execute_script(COUNT_REQUESTS)
        actions = ActionChains(driver)
        actions.click_and_hold(level)  # the thumb sits at the middle's left: 10 of 62
        for _ in range(12):
            actions.move_by_offset(8, 0)
        actions.release().perform()
        shown = self.value(driver)
        self.assertGreater(shown, 10)
        wait_for('the processor at the value shown', lambda: self.sim.state()[MUSIC] == shown)
        with self.sim.lock:
            new = self.sim.commands[before:]
        self.assertEqual({cid for (cid, _) in new}, {MUSIC}, f'the level alone: {new}')
        self.assertGreaterEqual(len(new), 2, f'sent while it moved: {new}')
        self.assertEqual(new[-1][1], shown, 'the last frame is the value shown')
        self.assertEqual(level.get_attribute('aria-valuetext'), str(shown))
        wait_for('every request answered',
                 lambda: driver.execute_script('return window.inFlight') == 0)
        requests, most = driver.execute_script('return [window.requests, window.mostInFlight]')
        self.assertEqual(most, 1, 'one request of the level in flight at a time')
        self.assertEqual(requests, len(new), 'each request reached the processor')

    def test_2_a_report_of_the_processor_shows(self):
        driver = self.browser('en-US')
        self.open_room(driver)
        for value in (17, 40, 3):
            self.sim.control(f'set {MUSIC} {value}')
            took = wait_for(f'{value} shown', lambda: self.value(driver) == value)
            print(f'a report of {value} shown after {took * 1000:.0f} ms', file=sys.stderr)

    def test_3_the_limit_holds(self):
        driver = self.browser('en-US')
        self.open_room(driver)
        self.set_processor(MUSIC, 30)
        wait_for('30 shown', lambda: self.value(driver) == 30)
        self.set_processor(MAX_MUSIC, 20)
        before = len(self.sim.sent(MUSIC))
        level = self.level(driver)
        wait_for('the top at the level above its limit',
                 lambda: level.get_attribute('max') == '30')
        self.assertEqual(self.value(driver), 30, 'a level above the limit is shown as it is')
        level.send_keys(Keys.END)
        level.send_keys(Keys.ARROW_RIGHT)
        self.assertEqual(self.value(driver), 30, 'never raised above its limit')
        level.send_keys(Keys.ARROW_LEFT)  # lowered: to the limit at once
        wait_for('the processor at the limit', lambda: self.sim.state()[MUSIC] == 20)
        wait_for('the top at the limit', lambda: level.get_attribute('max') == '20')
        level.send_keys(Keys.END)
        level.send_keys(Keys.ARROW_RIGHT)
        self.assertEqual(self.value(driver), 20)
        level.send_keys(Keys.HOME)
        wait_for('Home sends 0', lambda: self.sim.state()[MUSIC] == 0)
        self.assertEqual(self.sim.sent(MUSIC)[before:], [20, 0], 'nothing above the limit')
        self.set_processor(MAX_MUSIC, 62)
        wait_for('the top back at 62', lambda: level.get_attribute('max') == '62')

    def test_4_a_memory_asks_before_it_recalls(self):
        driver = self.browser('en-US')
        self.open_room(driver)
        self.set_processor(RUN_MODE, 0)
        self.set_processor(MUSIC_VOCAL, 0)
        wait_for('User1 shown', lambda: driver.find_element(
            By.CSS_SELECTOR, '[data-param=RunMode] [data-value="0"]').get_attribute(
                'aria-pressed') == 'true')
        dialog = driver.find_element(By.CSS_SELECTOR, 'dialog[data-dialog=confirm]')
        user3 = driver.find_element(By.CSS_SELECTOR, '[data-param=RunMode] [data-value="2"]')
        before = len(self.sim.sent(RUN_MODE))
        user3.click()
        wait_for('the question', lambda: dialog.get_attribute('open') is not None)
        self.assertIn('User3', dialog.text)
        dialog.find_element(By.CSS_SELECTOR, '[data-confirm=cancel]').click()
        wait_for('the question gone', lambda: dialog.get_attribute('open') is None)
        # Something sent after the cancel arrives after anything the cancel would have sent.
        driver.find_element(By.CSS_SELECTOR, '[data-param=MusicVocal] [data-value="2"]').click()
        wait_for('the vocal mode sent', lambda: self.sim.state()[MUSIC_VOCAL] == 2)
        self.assertEqual(len(self.sim.sent(RUN_MODE)), before, 'a cancel sends nothing')
        self.assertEqual(self.sim.state()[RUN_MODE], 0)
        user3.click()
        wait_for('the question again', lambda: dialog.get_attribute('open') is not None)
        dialog.find_element(By.CSS_SELECTOR, '[data-confirm=ok]').click()
        wait_for('User3 recalled', lambda: self.sim.state()[RUN_MODE] == 2)
        self.assertEqual(self.sim.sent(RUN_MODE)[before:], [2])
        wait_for('User3 shown', lambda: user3.get_attribute('aria-pressed') == 'true')

    def test_5_offline_on_unplug_and_back(self):
        driver = self.browser('en-US')
        self.open_room(driver)
        notice = driver.find_element(By.CSS_SELECTOR, '[data-notice=offline]')
        self.assertFalse(notice.is_displayed())
        self.sim.control('unplug')
        took = wait_for('the offline notice',
                        lambda: notice.is_displayed() and notice.text == OFFLINE['en'])
        print(f'offline shown after {took * 1000:.0f} ms', file=sys.stderr)
        self.assertFalse(self.level(driver).is_enabled(), 'the controls rest')
        self.assertFalse(driver.find_element(
            By.CSS_SELECTOR, '[data-notice=unreachable]').is_displayed())
        self.sim.control('plug')
        wait_for('the notice gone', lambda: not notice.is_displayed(), timeout=40)
        self.wait_online(driver)

    def test_6_chinese_by_the_browser_and_english_by_the_switch(self):
        driver = self.browser('zh-CN')
        self.open_room(driver)
        label = driver.find_element(By.CSS_SELECTOR, 'label[for="param-MusicVolume"]')
        self.assertEqual(label.text, '音乐音量')
        pitch = driver.find_element(By.CSS_SELECTOR, '[data-param=MusicPitch]')
        self.assertEqual([b.text for b in pitch.find_elements(By.TAG_NAME, 'button')],
                         ['b5', 'b4', 'b3', 'b2', 'b1', '#b', '#1', '#2', '#3', '#4', '#5'])
        self.sim.control('unplug')
        notice = driver.find_element(By.CSS_SELECTOR, '[data-notice=offline]')
        wait_for('the Chinese offline notice',
                 lambda: notice.is_displayed() and notice.text == OFFLINE['zh'])
        self.sim.control('plug')
        wait_for('the notice gone', lambda: not notice.is_displayed(), timeout=40)
        self.wait_online(driver)
        driver.find_element(By.CSS_SELECTOR, '[data-language]').click()
        wait_for('English captions', lambda: driver.find_element(
            By.CSS_SELECTOR, 'label[for="param-MusicVolume"]').text == 'Music level')
        driver.refresh()
        self.wait_online(driver)
        self.assertEqual(driver.find_element(
            By.CSS_SELECTOR, 'label[for="param-MusicVolume"]').text, 'Music level',
            'the choice is kept')

    def test_7_made_for_a_thumb_at_both_sizes(self):
        driver = self.browser('en-US')
        self.open_room(driver)
        os.makedirs(BUILD, exist_ok=True)
        driver.save_screenshot(os.path.join(BUILD, 'remote.png'))
        for width, height in ((360, 640), (800, 1280)):
            self.resize(driver, width, height)
            problems = driver.execute_script(CHECKS)
            self.assertEqual(problems, [], f'at {width} x {height}')
        ranges = driver.find_elements(By.CSS_SELECTOR, 'input[type=range][data-param]')
        self.assertEqual({r.get_attribute('data-param') for r in ranges},
                         {'MusicVolume', 'MicVolume', 'EffectVolume', 'ReverbVolume'})
        for name in ('MusicPitch', 'MusicVocal', 'MusicSelect', 'Mute', 'RunMode'):
            driver.find_element(By.CSS_SELECTOR, f'[data-param={name}]')

    def test_8_a_wrong_token_asks_for_the_link_again(self):
        driver = self.browser('en-US')
        driver.get(self.base + '#token=not-the-token')
        notice = driver.find_element(By.CSS_SELECTOR, '[data-notice=token]')
        wait_for('the notice asking for the link', lambda: notice.is_displayed())
        driver.get(self.base + '#token=' + self.token)
        wait_for('let in with the link', lambda: not notice.is_displayed())
        driver.get(self.base + '#/rooms/bar')
        self.wait_online(driver)

    def test_9_qjd_unreachable_and_back(self):
        driver = self.browser('en-US')
        self.open_room(driver)
        notice = driver.find_element(By.CSS_SELECTOR, '[data-notice=unreachable]')
        port = self.qjd.port
        self.qjd.stop()
        wait_for('the unreachable notice', lambda: notice.is_displayed())
        self.assertFalse(driver.find_element(
            By.CSS_SELECTOR, '[data-notice=offline]').is_displayed(), 'not the offline one')
        self.assertFalse(self.level(driver).is_enabled())
        type(self).qjd = Qjd(self.link, self.token_file, port)
        wait_for('back by itself', lambda: not notice.is_displayed(), timeout=40)
        self.wait_online(driver)


# Run in the page: counts the page's PATCH requests and the most of them in flight at once.
COUNT_REQUESTS = r'''
window.inFlight = 0;
window.mostInFlight = 0;
window.requests = 0;
const fetchNow = window.fetch;
window.fetch = async (path, init) => {
  const counted = init && init.method === 'PATCH';
  if (counted) {
    window.requests += 1;
    window.inFlight += 1;
    window.mostInFlight = Math.max(window.mostInFlight, window.inFlight);
  }
  try {
    return await fetchNow(path, init);
  } finally {
    if (counted) window.inFlight -= 1;
  }
};
'''

# Run in the page: what a phone's user would stumble on, as a list of problems. Every target
# at least 48 px, every control named, text contrast at least 4.5:1, no sideways scrolling.
CHECKS = r'''
const problems = [];
const rgb = (c) => c.match(/[\d.]+/g).map(Number);
const lum = (c) => {
  const [r, g, b] = rgb(c).slice(0, 3).map((v) => {
    v /= 255;
    return v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4);
  });
  return 0.2126 * r + 0.7152 * g + 0.0722 * b;
};
const background = (e) => {
  for (; e; e = e.parentElement) {
    const c = getComputedStyle(e).backgroundColor;
    if (rgb(c).length < 4 || rgb(c)[3] > 0) return c;
  }
  return 'rgb(255, 255, 255)';
};
if (document.documentElement.scrollWidth > innerWidth) problems.push('scrolls sideways');
for (const e of document.querySelectorAll('button, input, a[href]')) {
  if (e.closest('dialog:not([open])') || e.hidden || e.offsetParent === null) continue;
  const r = e.getBoundingClientRect();
  const name = e.dataset.param || e.dataset.value || e.textContent;
  if (r.width < 48 || r.height < 48) problems.push(`${name}: ${r.width} x ${r.height}`);
  const named = e.getAttribute('aria-label') || (e.labels && e.labels.length) ||
                e.textContent.trim();
  if (!named) problems.push(`${name}: no accessible name`);
}
for (const e of document.querySelectorAll('body *')) {
  if (e.offsetParent === null || !e.childNodes.length) continue;
  if (![...e.childNodes].some((n) => n.nodeType === 3 && n.textContent.trim())) continue;
  const a = lum(getComputedStyle(e).color), b = lum(background(e));
  const ratio = (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05);
  if (ratio < 4.5) problems.push(`${e.tagName} "${e.textContent.trim()}": ${ratio.toFixed(2)}`);
}
for (const r of document.querySelectorAll('input[type=range]')) {
  if (!r.getAttribute('aria-valuetext')) problems.push(`${r.dataset.param}: no aria-valuetext`);
}
return problems;
'''

if __name__ == '__main__':
    if None in (QJD, QJ_SIM, BUILD):
        sys.exit(__doc__)
    unittest.main(argv=sys.argv[:1] + sys.argv[4:], verbosity=2)  # -k NAME: some cases
