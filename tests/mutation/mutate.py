"""Mutation testing of the portable core: one small change at a time, rebuilt and run against the
native unit tests in private copies of the tree (build/mutation/wN), never in the tree itself."""
import argparse, glob, os, random, re, shutil, signal, subprocess, sys, threading, time
from concurrent.futures import ThreadPoolExecutor

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
HERE, WORK = os.path.join(ROOT, 'tests', 'mutation'), os.path.join(ROOT, 'build', 'mutation')
FOLDERS = ['module', 'player', 'audio', 'gfx', 'show', 'base', 'shell']
STOP, LIVE, LIVE_LOCK = threading.Event(), set(), threading.Lock()
SANITIZE = True  # --plain turns the sanitizers off
# Operators are only taken with a space on each side, which leaves out templates, pointers and
# references (this code writes `T* p`, `a < b`).
SWAPS = {'<': '<=', '<=': '<', '>': '>=', '>=': '>', '==': '!=', '!=': '==', '+': '-', '-': '+',
         '*': '/', '/': '*', '%': '*', '&&': '||', '||': '&&', '<<': '>>', '>>': '<<', '&': '|',
         '|': '&', '^': '|', '+=': '-=', '-=': '+=', '*=': '/=', '/=': '*=', '|=': '&=', '&=': '|=',
         '<<=': '>>=', '>>=': '<<='}
OP = re.compile(r'(?<= )(' + '|'.join(sorted(map(re.escape, SWAPS), key=len, reverse=True)) + r')(?= )')
INT = re.compile(r'(?<![\w.])(0[xX][0-9a-fA-F]+|\d+)([uUlL]*)(?![\w.])')
COND = re.compile(r'\b(if|while) \(')
# Statements that can go: an assignment, an increment or a call, alone on their line.
STATEMENT = re.compile(r'^\s*(\*?[\w.\[\]>()+-]*[\w\]]\s*([-+*/|&^]|<<|>>)?=(?!=)|\+\+\w|--\w|[\w.\[\]>-]+(\+\+|--);'
                       r'|[\w.:\[\]>-]+\(.*\);\s*$)')
NOISE = re.compile(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S)


def spawn(cmd):
    """A build or test run in its own process group, which an interrupt stops; None once stopping."""
    with LIVE_LOCK:
        if STOP.is_set(): return None
        p = subprocess.Popen(cmd, start_new_session=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        LIVE.add(p)
        return p


def stop_all():
    with LIVE_LOCK:
        STOP.set()
        for p in LIVE:
            try:
                os.killpg(p.pid, signal.SIGKILL)
            except ProcessLookupError:  # ended, not yet taken off the list
                pass


def portable_files():
    found = [os.path.relpath(f, ROOT) for d in FOLDERS[:5] for f in sorted(glob.glob(os.path.join(ROOT, d, '*.cpp')))]
    # audio/mixer_local.h holds the mixer's voice-by-voice work, which mixer.cpp builds.
    return [f for f in found if not re.search(r'_(win32|d3d8|host|web)\.cpp$', f)] + ['audio/mixer_local.h', 'base/math.cpp', 'base/frame_clock.cpp']


MEMORY_BOUND = 4 << 30  # bytes resident in one test run; the tests themselves need a small part of it


def group_rss(pgid):
    """Bytes resident in the processes of one process group."""
    total = 0
    for pid in filter(str.isdigit, os.listdir('/proc')):
        try:
            stat = open('/proc/%s/stat' % pid).read().rpartition(')')[2].split()
            if int(stat[2]) == pgid: total += int(stat[21]) * os.sysconf('SC_PAGE_SIZE')
        except (OSError, IndexError, ValueError):
            pass
    return total


def close_paren(s, i):
    depth = 0
    for j in range(i, len(s)):
        depth += {'(': 1, ')': -1}.get(s[j], 0)
        if depth == 0: return j
    return -1


def mutants(path):
    """(line number, original line, mutated line, occurrence tag) for every mutant of one file."""
    text = open(os.path.join(ROOT, path)).read()
    lines = text.split('\n')
    code = NOISE.sub(lambda m: re.sub(r'[^\n]', ' ', m.group()), text).split('\n')  # comments and literals blanked
    out, prev, seen = [], ';', {}
    for no, (src, c) in enumerate(zip(lines, code), 1):
        seen[src.strip()] = seen.get(src.strip(), 0) + 1
        # A line whose text comes again in the file is told apart by its occurrence.
        tag = ' [%d]' % seen[src.strip()] if sum(l.strip() == src.strip() for l in lines) > 1 else ''
        if c.lstrip().startswith('#') or 'static_assert' in c or not c.strip():
            continue
        edits = [(m.start(1), m.end(1), SWAPS[m.group(1)]) for m in OP.finditer(c)]
        edits += [(m.start(1), m.end(1), (hex if m.group(1)[:2].lower() == '0x' else str)(int(m.group(1), 0) + 1))
                  for m in INT.finditer(c)]
        for m in COND.finditer(c):
            j = close_paren(c, m.end() - 1)
            if j > 0: edits.append((m.end(), j, '!(' + src[m.end():j] + ')'))
        out += [(no, src, src[:a] + rep + src[b:], tag) for a, b, rep in edits]
        s = c.strip()
        if (s.endswith(';') and not s.startswith('return') and prev[-1:] in ';{}):'
                and c.count('(') == c.count(')') and STATEMENT.match(c)):
            out.append((no, src, src[:len(src) - len(src.lstrip())] + ';', tag))
        prev = s or prev
    return out


def key(t):
    return '%s: %s -> %s%s' % (t[0], t[2].strip(), t[3].strip(), t[4])


def where(t):
    return '%s:%d: %s -> %s' % (t[0], t[1], t[2].strip(), t[3].strip())


def read_list(name):
    """Lines `file: original -> mutated  # note` of equivalent.txt or faults.txt, as (key, note)."""
    lines = [l.rstrip('\n').rpartition('  # ') for l in open(os.path.join(HERE, name)) if l.strip() and l[0] != '#']
    return [(k.strip(), note.strip()) for k, _, note in lines]


class Worker:
    def __init__(self, n):
        self.dir = os.path.join(WORK, ('s%d' if SANITIZE else 'w%d') % n)
        self.build, self.limit = os.path.join(self.dir, 'build'), None

    def prepare(self):
        # Only what differs is copied, and it gets a new time, so ninja sees it.
        files = set(subprocess.run(['git', '-C', ROOT, 'ls-files', '-co', '--exclude-standard'], check=True,
                                   capture_output=True, text=True).stdout.split('\n')) - {''}
        for f in files:
            src, dst = os.path.join(ROOT, f), os.path.join(self.dir, f)
            if os.path.isfile(src) and not os.path.islink(src) and (
                    not os.path.isfile(dst) or open(dst, 'rb').read() != open(src, 'rb').read()):
                os.makedirs(os.path.dirname(dst), exist_ok=True)
                shutil.copyfile(src, dst); shutil.copymode(src, dst)
        for d, _, names in os.walk(self.dir):
            if not (d + os.sep).startswith(self.build + os.sep):
                for n in names:
                    if os.path.relpath(os.path.join(d, n), self.dir) not in files: os.remove(os.path.join(d, n))
        if not os.path.exists(os.path.join(self.build, 'build.ninja')):
            # The native preset's compiler and build type; -g and Google Benchmark left out (same code, faster).
            # With AddressSanitizer and UBSan, a change that reads or writes out of bounds, or overflows,
            # is caught where it happens and not only if the wrong bytes happen to change an output.
            subprocess.run(['cmake', '-S', self.dir, '-B', self.build, '-G', 'Ninja', '-DCMAKE_BUILD_TYPE=RelWithDebInfo',
                            '-DCMAKE_CXX_COMPILER=g++', '-DCMAKE_C_COMPILER=gcc', '-DQE_BENCH=OFF',
                            '-DQE_SANITIZE=' + ('ON' if SANITIZE else 'OFF'),
                            '-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG', '-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=gold'],
                           check=True, stdout=subprocess.DEVNULL)
        if self.make() != 0: sys.exit('mutation: the clean tree does not build in ' + self.dir)
        start = time.time()
        if self.test(3600) != 0: sys.exit('mutation: the clean tree fails its unit tests in ' + self.dir)
        # Three times a clean run, plus room for the other worker and the machine's other jobs.
        self.limit = 3 * (time.time() - start) + 30

    def make(self):
        p = spawn(['cmake', '--build', self.build, '-j', '1'])
        if p is None: return 1
        try:
            return p.wait()
        finally:
            with LIVE_LOCK: LIVE.discard(p)

    def test(self, limit):
        """The tests' exit status, or None when they ran past the time limit or the memory bound."""
        p = spawn(['ctest', '--test-dir', self.build, '--stop-on-failure', '-Q'])
        if p is None: return None
        end = time.time() + limit
        try:
            while True:
                try:
                    return p.wait(timeout=0.5)
                except subprocess.TimeoutExpired:
                    # A change that makes a test allocate without end would take the machine's memory
                    # (and every other job on it) long before the time limit: it is stopped here.
                    if time.time() > end or group_rss(p.pid) > MEMORY_BOUND:
                        os.killpg(p.pid, signal.SIGKILL); p.wait()
                        return None
        finally:
            with LIVE_LOCK: LIVE.discard(p)

    def run(self, path, no, mut):
        f = os.path.join(self.dir, path)
        original = open(f).read()
        lines = original.split('\n'); lines[no - 1] = mut
        try:
            open(f, 'w').write('\n'.join(lines))
            if self.make() != 0: return 'unbuildable'
            rc = self.test(self.limit)
            return 'timed out' if rc is None else 'killed' if rc else 'survived'
        finally:
            open(f, 'w').write(original)


def run_all(jobs, todo):
    """Runs the mutants on `jobs` workers; returns their outcomes in order."""
    workers = [Worker(i) for i in range(jobs)]
    free, lock, results, done = list(workers), threading.Lock(), [None] * len(todo), [0]

    def one(i):
        if STOP.is_set(): return
        with lock: w = free.pop()
        try:
            results[i] = w.run(*todo[i][:2], todo[i][3])
        finally:
            with lock:
                free.append(w); done[0] += 1
                if not STOP.is_set(): print('[%d/%d] %-11s %s' % (done[0], len(todo), results[i], where(todo[i])), flush=True)
    pool = ThreadPoolExecutor(jobs)
    try:
        list(pool.map(Worker.prepare, workers))
        list(pool.map(one, range(len(todo))))
    except KeyboardInterrupt:  # the builds and tests under way are stopped; each worker puts its file back
        stop_all()
        pool.shutdown(cancel_futures=True)
        sys.exit('mutation: interrupted')
    pool.shutdown()
    return results


def git(*args):
    return subprocess.run(['git', '-C', ROOT] + list(args), capture_output=True, text=True).stdout.strip()


def main(argv):
    ap = argparse.ArgumentParser(prog='tests/mutation/run', description=__doc__)
    ap.add_argument('files', nargs='*', help='portable sources (default: all of them)')
    ap.add_argument('--sample', type=int, help='run N mutants drawn at random')
    ap.add_argument('--seed', type=int, default=1)
    ap.add_argument('--jobs', type=int, default=2)
    ap.add_argument('--faults', action='store_true', help='apply the named faults of faults.txt and require each killed')
    ap.add_argument('--list', action='store_true', help='list the mutants and stop')
    ap.add_argument('--rerun', action='store_true', help="run only the last run's survivors")
    ap.add_argument('--plain', action='store_true', help='build without AddressSanitizer and UBSan (faster, blind to bad memory use)')
    a = ap.parse_args(argv)
    global SANITIZE
    SANITIZE = not a.plain
    files = a.files or portable_files()
    for f in files:
        if not os.path.isfile(os.path.join(ROOT, f)): sys.exit('mutation: no such source file: ' + f)
    if a.jobs < 1: sys.exit('mutation: --jobs must be at least 1')
    if a.faults:
        todo = []
        for k, name in read_list('faults.txt'):
            m = re.match(r'(\S+): (.*) -> (.*)$', k)
            lines = open(os.path.join(ROOT, m.group(1))).read().split('\n') if m else []
            found = [n for n, src in enumerate(lines, 1) if src.strip() == m.group(2)]
            if not found: sys.exit('mutation: fault "%s": its line is not in the source' % name)
            src = lines[found[0] - 1]
            todo.append((m.group(1), found[0], src, src[:len(src) - len(src.lstrip())] + m.group(3), name))
        res = run_all(a.jobs, todo)
        for t, r in zip(todo, res): print('%-11s %s' % (r, t[4]))
        return 1 if any(r not in ('killed', 'timed out') for r in res) else 0
    equivalent = {k for k, _ in read_list('equivalent.txt')}
    everything = [(f,) + m for f in files for m in mutants(f)]
    named = {key(t) for t in everything}
    for k in sorted(k for k in equivalent if k.split(':')[0] in files and k not in named):
        print('mutation: equivalent.txt names no mutant of the source as it is now: ' + k, file=sys.stderr)
    if a.sample:  # drawn before the equivalents are left out, so that a seed keeps naming the same mutants
        everything = sorted(random.Random(a.seed).sample(everything, min(a.sample, len(everything))))
    todo = [t for t in everything if key(t) not in equivalent]
    skipped = len(everything) - len(todo)
    if a.rerun:
        last = open(os.path.join(HERE, 'last-run.txt')).read().split('survivors:\n')[1].split('\n\n')[0].split('\n')
        todo = [t for t in todo if where(t) in last]
    if a.list:
        print('\n'.join(where(t) + t[4] for t in todo))
        return 0
    start = time.time()
    at = git('rev-parse', '--short', 'HEAD') + (' with uncommitted changes' if git('status', '--porcelain', '--', '*.cpp', '*.h') else '')
    res = run_all(a.jobs, todo)
    groups = {}
    for t, r in zip(todo, res):
        for g in (t[0], t[0].split('/')[0] + '/', 'total'):
            groups.setdefault(g, {}).setdefault(r, 0); groups[g][r] += 1
    report = ['# tests/mutation/run %s' % ' '.join(argv), '# at commit %s, %s, %d mutants (%d skipped as equivalent), %.0f min'
              % (at, time.strftime('%Y-%m-%d %H:%M'), len(todo), skipped, (time.time() - start) / 60), '',
              '%-28s %7s %8s %9s %11s %6s' % ('', 'killed', 'survived', 'timed out', 'unbuildable', 'score')]
    order = sorted(g for g in groups if '/' in g and not g.endswith('/')) + [d + '/' for d in FOLDERS if d + '/' in groups]
    for g in order + ['total']:
        c = groups[g]; k, s, t = c.get('killed', 0), c.get('survived', 0), c.get('timed out', 0)
        report.append('%-28s %7d %8d %9d %11d %5.1f%%' % (g, k, s, t, c.get('unbuildable', 0), 100.0 * (k + t) / max(1, k + s + t)))
    for kind, title in (('survived', 'survivors:'), ('timed out', 'timed out:')):
        report += ['', title] + [where(t) for t, r in zip(todo, res) if r == kind]
    open(os.path.join(HERE, 'last-run.txt'), 'w').write('\n'.join(report) + '\n')
    print('\n'.join(report))
    return 0
