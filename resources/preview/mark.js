// The preview's side in the browser. It runs in a world of its own, apart from the page's scripts:
// it finds phrase N by the comment "qf:N" in front of it, marks it, scrolls it into view, and tells
// the window which phrase a click lands on. Clicks never follow links or submit forms.
(function () {
    'use strict';

    const kPrefix = 'qf:';

    let anchors = null;  // anchors[n]: the comment in front of phrase n
    let bridge = null;
    let connecting = false;
    let marked = null;   // {phrase, node, range}: the text node or element marked, or a sentence's
                         // range and its first text node
    let overlay = null;  // {host, root, boxes}: the mark, drawn above the page
    let placing = false;

    function numberOf(comment) {
        const data = comment.data;
        if (data.length <= kPrefix.length || !data.startsWith(kPrefix)) return -1;
        const n = Number(data.substring(kPrefix.length));
        return Number.isInteger(n) && n >= 0 ? n : -1;
    }

    // Once per page: walking every node for each mark would be slow on a long page.
    function index() {
        anchors = [];
        const walker = document.createTreeWalker(document, NodeFilter.SHOW_COMMENT);
        for (let c = walker.nextNode(); c; c = walker.nextNode()) {
            const n = numberOf(c);
            if (n >= 0) anchors[n] = c;
        }
    }

    function anchorOf(n) {
        if (!anchors) index();
        let c = anchors[n];
        // The page's own scripts may have rebuilt part of it.
        if (c && !c.isConnected) {
            index();
            c = anchors[n];
        }
        return c || null;
    }

    // What follows the anchor is the phrase: its text, or the element that holds its value. The
    // parser moves some content away from where it stood (text in a table outside its cells):
    // then the phrase is not where its anchor is, and nothing is marked.
    function phraseNode(n) {
        const anchor = anchorOf(n);
        const next = anchor && anchor.nextSibling;
        if (!next) return null;
        if (next.nodeType === Node.TEXT_NODE) return next.data.trim() ? next : null;
        return next.nodeType === Node.ELEMENT_NODE ? next : null;
    }

    // A sentence flows over its inline elements: it runs from its anchor over as many characters
    // other than blanks as the window counts in it. The content of an svg, a math or a
    // translate="no" element is carried whole and counts none.
    const kBlank = /[ \t\n\r\f]/;
    function carried(text) {
        const e = text.parentElement;
        if (!e) return false;
        if (e.closest('svg, math')) return true;
        const t = e.closest('[translate]');
        return !!t && t.getAttribute('translate').trim().toLowerCase() === 'no';
    }

    function sentenceOf(n, count) {
        const anchor = anchorOf(n);
        if (!anchor || !anchor.parentNode) return null;
        const walker = document.createTreeWalker(document, NodeFilter.SHOW_TEXT);
        walker.currentNode = anchor;
        const range = document.createRange();
        range.setStartAfter(anchor);
        let left = count, first = null;
        for (let t = walker.nextNode(); t; t = walker.nextNode()) {
            if (carried(t)) continue;
            const data = t.data;
            for (let i = 0; i < data.length;) {
                const width = data.codePointAt(i) > 0xFFFF ? 2 : 1;
                if (!kBlank.test(data[i])) {
                    if (!first) first = t;
                    if (--left === 0) {
                        range.setEnd(t, i + width);
                        return {node: first, range: range};
                    }
                }
                i += width;
            }
        }
        return null;
    }

    function rectsOfRange(range) {
        return Array.from(range.getClientRects()).filter((r) => r.width > 0 && r.height > 0);
    }

    function rectsOfMark(m) {
        return m.range ? rectsOfRange(m.range) : rectsOf(m.node);
    }

    function rectsOf(node) {
        if (node.nodeType === Node.ELEMENT_NODE) return Array.from(node.getClientRects());
        const range = document.createRange();
        range.selectNodeContents(node);
        return Array.from(range.getClientRects()).filter((r) => r.width > 0 && r.height > 0);
    }

    function boundsOf(rects) {
        if (!rects.length) return new DOMRect(0, 0, 0, 0);
        let left = Infinity, top = Infinity, right = -Infinity, bottom = -Infinity;
        for (const r of rects) {
            left = Math.min(left, r.left);
            top = Math.min(top, r.top);
            right = Math.max(right, r.right);
            bottom = Math.max(bottom, r.bottom);
        }
        return new DOMRect(left, top, right - left, bottom - top);
    }

    function inView(r) {
        return r.top >= 0 && r.left >= 0 && r.bottom <= window.innerHeight &&
            r.right <= window.innerWidth;
    }

    // The mark is drawn in a layer of its own above the page, out of reach of the page's style
    // sheets: changing the page's own elements would make the browser lay out a long page anew
    // on every mark.
    function ensureOverlay() {
        if (overlay && overlay.host.isConnected) return overlay;
        const host = document.createElement('qf-mark');
        host.setAttribute('style', 'all: initial !important; position: absolute !important; ' +
            'left: 0 !important; top: 0 !important; width: 0 !important; ' +
            'height: 0 !important; overflow: visible !important; ' +
            'contain: size layout style !important; ' +
            'pointer-events: none !important; z-index: 2147483647 !important;');
        const root = host.attachShadow({mode: 'closed'});
        const style = document.createElement('style');
        style.textContent = 'div { position: absolute; box-sizing: border-box; ' +
            'background: rgba(255, 213, 0, 0.35); outline: 2px solid #d97706; ' +
            'border-radius: 2px; pointer-events: none; }';
        root.appendChild(style);
        (document.documentElement || document).appendChild(host);
        overlay = {host: host, root: root, boxes: []};
        return overlay;
    }

    // Draws the mark over rects, the client boxes of the marked phrase (found anew if not
    // given).
    function place(rects) {
        placing = false;
        if (!marked) {
            if (overlay) for (const box of overlay.boxes) box.style.display = 'none';
            return;
        }
        const o = ensureOverlay();
        if (!rects) rects = rectsOfMark(marked);
        const pad = marked.node.nodeType === Node.ELEMENT_NODE ? 2 : 1;
        while (o.boxes.length < rects.length) {
            const box = document.createElement('div');
            o.root.appendChild(box);
            o.boxes.push(box);
        }
        o.boxes.forEach((box, i) => {
            const r = rects[i];
            if (!r) {
                box.style.display = 'none';
                return;
            }
            box.style.display = 'block';
            box.style.left = (r.left + window.scrollX - pad) + 'px';
            box.style.top = (r.top + window.scrollY - pad) + 'px';
            box.style.width = (r.width + 2 * pad) + 'px';
            box.style.height = (r.height + 2 * pad) + 'px';
        });
    }

    // Scrolling inside the page or a new width moves the phrase: the mark follows.
    function placeLater() {
        if (marked && !placing) {
            placing = true;
            requestAnimationFrame(() => place());
        }
    }

    // Scrolls the phrase into view unless it is in view; whether it scrolled.
    function reveal(node, rects) {
        if (inView(boundsOf(rects))) return false;
        const element = node.nodeType === Node.ELEMENT_NODE ? node : node.parentElement;
        // The element brings scrolled boxes around it along; a long text is then centred alone.
        if (element) element.scrollIntoView({block: 'center', inline: 'nearest'});
        const r = boundsOf(rectsOf(node));
        if (!inView(r))
            window.scrollBy(r.left < 0 || r.right > window.innerWidth ? r.left - 8 : 0,
                r.top + r.height / 2 - window.innerHeight / 2);
        return true;
    }

    // The phrase's boxes are measured once where nothing moves: each measurement after a change
    // of the page makes the browser lay it out first. count: the characters of a sentence, 0
    // for a phrase that is one node.
    function mark(n, count) {
        marked = null;
        const found = n < 0 ? null : count > 0 ? sentenceOf(n, count) :
            {node: phraseNode(n), range: null};
        let rects = found && found.node ? rectsOfMark(found) : [];
        if (rects.length) {
            if (reveal(found.node, rects)) rects = rectsOfMark(found);
            marked = {phrase: n, node: found.node, range: found.range};
        }
        place(rects);
        return marked ? n : -1;
    }

    // Puts a confirmed phrase's new text where the page shows it, as a reload of the saved page
    // would: a text keeps the blanks that follow it in its node, a value the blanks around it.
    // False when the phrase is not where its anchor is; the window then reloads the page.
    const kLeading = /^[ \t\n\r\f]*/;
    const kTrailing = /[ \t\n\r\f]*$/;
    function update(n, text, attribute) {
        const node = phraseNode(n);
        if (!node) return false;
        if (node.nodeType === Node.TEXT_NODE) {
            node.data = text + node.data.match(kTrailing)[0];
        } else {
            if (!attribute || !node.hasAttribute(attribute)) return false;
            const old = node.getAttribute(attribute);
            node.setAttribute(attribute, old.match(kLeading)[0] + text + old.match(kTrailing)[0]);
        }
        return true;
    }

    // A confirmed sentence whose placeholders stand as they stood: each stretch of text between
    // them takes its new text in the text nodes that hold it, so that a long page is not loaded
    // anew. The stretches are found by walking the sentence's nodes, each element's start and end
    // (or a whole empty or carried element) a boundary, as its placeholders are. False, and
    // nothing changed, where the page does not hold the old stretches so: the window then reloads.
    const kBlanks = /[ \t\n\r\f]+/g;
    function squeezed(text) {
        return text.replace(kBlanks, ' ').trim();
    }
    function updateSentence(n, count, before, after) {
        const found = sentenceOf(n, count);
        if (!found) return false;
        const range = found.range;
        const stretches = before.map(() => []);
        let k = 0, ok = true, done = false;
        function walk(node) {
            for (let c = node; c && !done && ok; c = c.nextSibling) {
                if (c.nodeType === Node.TEXT_NODE) {
                    if (range.comparePoint(c, 0) > 0) {
                        done = true;
                        return;
                    }
                    if (k >= stretches.length) {
                        if (c.data.trim()) ok = false;
                        continue;
                    }
                    stretches[k].push(c);
                    if (c === range.endContainer) done = true;
                } else if (c.nodeType === Node.ELEMENT_NODE) {
                    if (range.comparePoint(c, 0) > 0) {
                        done = true;
                        return;
                    }
                    const whole = !c.firstChild || c.localName === 'svg' || c.localName === 'math' ||
                        (c.getAttribute('translate') || '').trim().toLowerCase() === 'no';
                    ++k;
                    if (!whole) {
                        walk(c.firstChild);
                        if (!done) ++k;
                    }
                }
            }
        }
        // From the anchor on, climbing out of its parents while the sentence goes on.
        const anchor = anchorOf(n);
        let from = anchor.nextSibling, parent = anchor.parentNode;
        for (;;) {
            walk(from);
            if (done || !ok || !parent || parent === document) break;
            ++k;
            from = parent.nextSibling;
            parent = parent.parentNode;
        }
        if (!ok || !done) return false;
        for (let i = 0; i < before.length; ++i) {
            const shown = stretches[i].map((t) => t.data).join('');
            if (squeezed(shown) !== squeezed(before[i])) return false;
            if (!stretches[i].length && squeezed(after[i])) return false;
        }
        for (let i = 0; i < after.length; ++i) {
            const nodes = stretches[i];
            if (!nodes.length) continue;
            // The blanks around a stretch stay, as a reload of the saved page would show them.
            const all = nodes.map((t) => t.data).join('');
            const text = squeezed(after[i]);
            if (!text)  // only blanks, or none: a blank stays one where the new text has one
                nodes[0].data = after[i] ? (all.trim() ? ' ' : all) : '';
            else
                nodes[0].data = all.match(kLeading)[0] + text + all.match(kTrailing)[0];
            for (let j = 1; j < nodes.length; ++j) nodes[j].data = '';
        }
        return true;
    }

    function state() {
        if (!marked || !marked.node.isConnected) return {phrase: -1, text: '', tag: ''};
        const node = marked.node;
        const r = boundsOf(rectsOfMark(marked));
        const text = marked.range ? marked.range.toString().replace(/[ \t\n\r\f]+/g, ' ').trim() :
            node.nodeType === Node.TEXT_NODE ? node.data.trim() :
            (node.getAttribute('alt') || node.getAttribute('content') || '');
        const boxes = overlay ? overlay.boxes.filter((b) => b.style.display !== 'none') : [];
        const first = boxes.length ? boxes[0].getBoundingClientRect() : new DOMRect(0, 0, 0, 0);
        return {
            phrase: marked.phrase,
            text: text,
            tag: node.nodeType === Node.TEXT_NODE ? '#text' : node.localName,
            x: r.left, y: r.top, width: r.width, height: r.height,
            inView: inView(r),
            boxes: boxes.length,
            drawn: [first.left, first.top, first.width, first.height],
        };
    }

    // The phrase a node belongs to: the nearest anchor before it. An anchor in front of an
    // element stands for a value of that element (an alt, a title) and owns nothing else, so text
    // behind an image inside a sentence is the sentence's.
    function phraseBefore(node) {
        const walker = document.createTreeWalker(document, NodeFilter.SHOW_COMMENT);
        walker.currentNode = node;
        for (let c = walker.previousNode(); c; c = walker.previousNode()) {
            const n = numberOf(c);
            if (n < 0) continue;
            const next = c.nextSibling;
            if (next && next.nodeType === Node.ELEMENT_NODE && !next.contains(node)) continue;
            return n;
        }
        return -1;
    }

    // The text under the pointer where there is one, else the element clicked.
    function nodeAt(event) {
        const target = event.target;
        if (target instanceof Element && target.localName !== 'img' &&
            typeof document.caretRangeFromPoint === 'function') {
            const range = document.caretRangeFromPoint(event.clientX, event.clientY);
            const node = range && range.startContainer;
            if (node && node.nodeType === Node.TEXT_NODE && target.contains(node)) return node;
        }
        return target;
    }

    function connect() {
        if (bridge || connecting || typeof qt === 'undefined' || !qt.webChannelTransport) return;
        connecting = true;
        new QWebChannel(qt.webChannelTransport, function (channel) {
            bridge = channel.objects.preview;
        });
    }

    function onClick(event) {
        event.preventDefault();
        if (event.button !== 0 || !(event.target instanceof Node)) return;
        const n = phraseBefore(nodeAt(event));
        connect();
        if (n >= 0 && bridge) bridge.clicked(n);
    }

    function refuse(event) {
        event.preventDefault();
    }

    window.addEventListener('click', onClick, true);
    window.addEventListener('auxclick', refuse, true);
    window.addEventListener('submit', refuse, true);
    document.addEventListener('DOMContentLoaded', function () {
        connect();
        index();
    });

    window.addEventListener('scroll', placeLater, true);
    window.addEventListener('resize', placeLater);

    window.quillfenPreview = {
        mark: mark, state: state, update: update, updateSentence: updateSentence};
})();
