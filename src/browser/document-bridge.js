// Reports the page's click, mouse-over and changes to the bridge object, and
// serialises the document for the program. Runs in the application world of
// every top-level document, before the page's content. A change is reported
// once, until the program reads the document (quilletReadDocument), so typing
// costs one message, not one per key.
//
// Serialising a big page and carrying it to the program takes longer than a
// save may: the page answers a read with only the stretch of text that
// differs from the answer the program already holds. To find that stretch
// without serialising the whole page again, it keeps the HTML of each node,
// dropped when the node or anything below it changes. Building that store
// costs several times the engine's own serialisation, so the first read is
// the engine's, and the store is built afterwards, a few milliseconds at a
// time between whatever else the page is asked to do, inside the page alone.
(function () {
    function tagOf(el) { return el && el.tagName ? String(el.tagName).toUpperCase() : ''; }
    function hrefOf(el) { return el && el.getAttribute ? (el.getAttribute('href') || '') : ''; }
    var events = null, reported = false, watching = false, changes = 0, observer = null;
    var documentId = String(Math.random()).slice(2) + '.' + Date.now();
    function changed() {
        ++changes;
        if (!reported && events) {
            reported = true;
            events.changed();
        }
    }

    // Node -> its HTML (a string), or for an element serialised child by
    // child its own tags ({ start, end }).
    var kept = new WeakMap();
    // The last answer, as pieces when it was put together from the store,
    // else as one text.
    var sentState = null, sentPieces = null, sentHtml = null;
    // Whether every node had its HTML in the store once; from then on the
    // store answers reads, re-serialising only what changed.
    var stored = false, storing = false;
    var XHTML = 'http://www.w3.org/1999/xhtml';
    // Serialised whole: text kept raw or special-cased by the serialiser,
    // void elements, and elements whose clone would load or run something.
    var whole = {};
    ('script style xmp iframe noembed noframes plaintext noscript template pre textarea listing ' +
     'area base basefont bgsound br col embed frame hr img input keygen link meta param source track wbr ' +
     'audio video object picture canvas select option').split(' ').forEach(function (n) { whole[n] = true; });
    // Text of a child of an element serialised child by child is escaped as
    // the engine escapes it, in an element of an inert document.
    var box = document.implementation.createHTMLDocument('').createElement('div');
    // A template's content is a fragment of its own: it is watched too, and
    // a change in it is a change of its template.
    var hosts = new WeakMap();
    var watched = { subtree: true, childList: true, attributes: true, characterData: true };
    function watchTemplates(node) {
        if (!node.querySelectorAll)
            return;
        var found = Array.prototype.slice.call(node.querySelectorAll('template'));
        if (node.localName === 'template')
            found.push(node);
        found.forEach(function (t) {
            if (hosts.has(t.content))
                return;
            hosts.set(t.content, t);
            observer.observe(t.content, watched);
            watchTemplates(t.content);
        });
    }
    function forget(node) {
        for (; node; node = node.parentNode || hosts.get(node))
            kept.delete(node);
    }
    function forgetBelow(node) {
        kept.delete(node);
        for (var c = node.firstChild; c; c = c.nextSibling)
            forgetBelow(c);
    }
    function noted(records) {
        for (var i = 0; i < records.length; ++i) {
            var r = records[i];
            forget(r.target);
            // A node may have changed while it was out of the document.
            for (var j = 0; j < r.addedNodes.length; ++j) {
                forgetBelow(r.addedNodes[j]);
                watchTemplates(r.addedNodes[j]);
            }
        }
        if (records.length)
            changed();
    }
    // Whether el holds at least count elements, counted only that far.
    function manyBelow(el, count) {
        var left = count;
        function walk(node) {
            for (var c = node.firstElementChild; c && left > 0; c = c.nextElementSibling) {
                --left;
                walk(c);
            }
        }
        walk(el);
        return left <= 0;
    }
    function describe(el, depth) {
        var name = el.localName;
        var big = depth < 2 || el.childElementCount >= 8 || (el.childElementCount > 0 && manyBelow(el, 64));
        if (!big || el.namespaceURI !== XHTML || whole[name] || name.indexOf('-') >= 0 || el.hasAttribute('is'))
            return el.outerHTML;
        var end = '</' + name + '>', html = el.cloneNode(false).outerHTML;
        if (html.slice(-end.length) !== end)
            return el.outerHTML;
        return { start: html.slice(0, html.length - end.length), end: end };
    }
    function other(node) {
        // Most text has nothing to escape.
        if (node.nodeType === 3 && !/[&<>\u00a0]/.test(node.data))
            return node.data;
        box.textContent = '';
        if (node.nodeType === 3)
            box.textContent = node.data;
        else
            box.appendChild(box.ownerDocument.importNode(node, true));
        return box.innerHTML;
    }
    function collect(el, depth, out) {
        var k = kept.get(el);
        if (k === undefined) {
            k = describe(el, depth);
            kept.set(el, k);
        }
        if (typeof k === 'string') {
            out.push(k);
            return;
        }
        out.push(k.start);
        for (var c = el.firstChild; c; c = c.nextSibling) {
            if (c.nodeType === 1) {
                collect(c, depth + 1, out);
                continue;
            }
            var t = kept.get(c);
            if (t === undefined) {
                t = other(c);
                kept.set(c, t);
            }
            out.push(t);
        }
        out.push(k.end);
    }
    function doctype() {
        var d = document.doctype;
        if (!d)
            return '';
        return '<!DOCTYPE ' + d.name + (d.publicId ? ' PUBLIC "' + d.publicId + '"' : '') +
            (d.systemId ? (d.publicId ? '' : ' SYSTEM') + ' "' + d.systemId + '"' : '') + '>\n';
    }
    // Fills the store as collect would, node by node in slices of a few
    // milliseconds. A node that changes meanwhile is dropped from the store
    // as ever; one added meanwhile is described by the next read. A page
    // opened from an archive may not set timers: the next slice starts on a
    // message the page posts to itself, a task of its own that leaves the
    // program's thread out (a round trip through it per slice would cost
    // the program in step with the page's size).
    var pacer = new MessageChannel();
    function store() {
        if (stored || storing)
            return;
        storing = true;
        var pending = [[document.documentElement, 0]];
        function slice() {
            var until = performance.now() + 8;
            for (var n = 0; pending.length && (++n % 64 || performance.now() < until);) {
                var top = pending.pop(), el = top[0];
                var k = kept.get(el);
                if (k === undefined) {
                    k = describe(el, top[1]);
                    kept.set(el, k);
                }
                if (typeof k === 'string')
                    continue;
                for (var c = el.firstChild; c; c = c.nextSibling) {
                    if (c.nodeType === 1)
                        pending.push([c, top[1] + 1]);
                    else if (!kept.has(c))
                        kept.set(c, other(c));
                }
            }
            if (pending.length) {
                pacer.port2.postMessage(0);
            } else {
                storing = false;
                stored = true;
            }
        }
        pacer.port1.onmessage = slice;
        pacer.port2.postMessage(0);
    }
    // How many characters a and b share from their start (backward: from
    // their end), at most limit. Stretches are compared whole, growing while
    // they match and halving where they do not, so a long common run costs a
    // few block compares rather than one step per character.
    function common(a, b, limit, backward) {
        var done = 0, step = 4096;
        while (done < limit) {
            var n = Math.min(step, limit - done);
            var same = backward ? a.substr(a.length - done - n, n) === b.substr(b.length - done - n, n)
                                : a.substr(done, n) === b.substr(done, n);
            if (same) {
                done += n;
                step *= 2;
            } else if (n > 1) {
                step = n >> 1;
            } else {
                break;
            }
        }
        return done;
    }
    function isHigh(c) { return c >= 0xd800 && c <= 0xdbff; }
    function isLow(c) { return c >= 0xdc00 && c <= 0xdfff; }
    // The change from held to html as [offset, removed, text, length]. The
    // text reaches the program as UTF-8, where half a surrogate pair cannot
    // travel (the program would find the answer does not fit and read the
    // page whole): a stretch never starts or ends inside a pair.
    function textChange(held, html) {
        var shorter = Math.min(held.length, html.length);
        var offset = common(held, html, shorter, false);
        var tail = common(held, html, shorter - offset, true);
        if (offset > 0 && isHigh(html.charCodeAt(offset - 1)))
            --offset;
        if (tail > 0 && isLow(html.charCodeAt(html.length - tail)))
            --tail;
        return [offset, held.length - offset - tail, html.slice(offset, html.length - tail), html.length];
    }
    // The same from the pieces of two answers put together from the store:
    // pieces of unchanged nodes are the very same strings.
    function pieceChange(held, out) {
        var n = Math.min(held.length, out.length), p = 0, offset = 0;
        while (p < n && held[p] === out[p])
            offset += held[p++].length;
        var eh = held.length, eo = out.length, length = 0, removed = 0;
        while (eh > p && eo > p && held[eh - 1] === out[eo - 1]) {
            --eh;
            --eo;
        }
        for (var i = p; i < eh; ++i)
            removed += held[i].length;
        for (var j = 0; j < out.length; ++j)
            length += out[j].length;
        return [offset, removed, out.slice(p, eo).join(''), length];
    }
    // known: the state named in the answer the program holds. Answers
    // [state] when the document is still in that state, [state, html], or
    // [state, offset, removed, text, length]: replace removed characters at
    // offset of the held HTML by text. state is null while the document is
    // not watched yet.
    window.quilletReadDocument = function (known) {
        if (observer)
            noted(observer.takeRecords());
        reported = false;
        var state = watching ? documentId + ':' + changes : null;
        if (state !== null && state === known)
            return [state];
        var root = document.documentElement;
        var storable = watching && root && root.tagName === 'HTML';
        var out = null, html = null;
        if (storable && stored) {
            out = [doctype()];
            collect(root, 0, out);
        } else {
            html = doctype() + (root ? root.outerHTML : '');
        }
        var heldPieces = sentPieces, heldHtml = sentHtml;
        var sameBase = state !== null && known !== null && known === sentState &&
            (heldPieces !== null || heldHtml !== null);
        sentState = state;
        sentPieces = state === null ? null : out;
        sentHtml = state === null ? null : html;
        if (storable)
            store();
        if (!sameBase)
            return [state, out ? out.join('') : html];
        if (out && heldPieces)
            return [state].concat(pieceChange(heldPieces, out));
        return [state].concat(textChange(heldHtml !== null ? heldHtml : heldPieces.join(''),
                                         html !== null ? html : out.join('')));
    };

    new QWebChannel(qt.webChannelTransport, function (channel) {
        events = channel.objects.quilletEvents;
        document.addEventListener('click', function (e) { events.click(tagOf(e.target), hrefOf(e.target)); }, true);
        document.addEventListener('mouseover', function (e) { events.mouseOver(tagOf(e.target), hrefOf(e.target)); }, true);
        // Parsing is not watched (a big page would queue a record per node);
        // the loaded document counts as one change.
        function watch() {
            observer = new MutationObserver(noted);
            observer.observe(document, watched);
            watchTemplates(document);
            watching = true;
            changed();
        }
        if (document.readyState === 'loading')
            document.addEventListener('DOMContentLoaded', watch);
        else
            watch();
    });
})();
