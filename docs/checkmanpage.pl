# Checks that the manual page shows every message text and option word the tool's code uses.
#
# perl checkmanpage.pl GROFF PAGE SOURCE...
#
# The message texts come from the ErrorMessages, WarningMessages and UsageLines tables,
# the option words from the string literals beginning with "+" or "-" in the file that
# defines parseArgs. The page is rendered as a reader sees it, so a text only passes
# when it comes out of groff with the same characters (a "-" must be written "\-").
use strict;
use warnings;

my ($groff, $page, @sources) = @ARGV;
die "usage: checkmanpage.pl GROFF PAGE SOURCE...\n" unless defined $page && @sources;

# The page as one line of text, every run of white space made one blank. The page turns
# hyphenation off, so a text broken over two output lines joins up again.
sub renderPage {
    open(my $pipe, '-|', $groff, '-man', '-Tutf8', '-P-cbou', $page)
        or die "cannot run $groff: $!\n";
    binmode($pipe, ':encoding(UTF-8)');
    local $/;
    my $text = <$pipe>;
    close($pipe) or die "$groff failed on $page\n";
    $text =~ s/\s+/ /g;
    return $text;
}

# The source without its comments; string and character literals are kept whole.
sub readCode {
    my ($path) = @_;
    open(my $in, '<', $path) or die "cannot read $path: $!\n";
    local $/;
    my $code = <$in>;
    close($in);
    $code =~ s{ ("(?:\\.|[^"\\\n])*") | ('(?:\\.|[^'\\\n])*') | //[^\n]* | /\*.*?\*/ }
              { defined $1 ? $1 : defined $2 ? $2 : ' ' }gsex;
    return $code;
}

my %Escapes = (n => "\n", t => "\t", r => "\r", '0' => "\0", '\\' => '\\', '"' => '"', "'" => "'", '?' => '?');

sub decodeLiteral {
    my ($body) = @_;
    $body =~ s/\\(.)/exists $Escapes{$1} ? $Escapes{$1} : $1/ge;
    return $body;
}

# The entries of a brace-initialised table: each entry's adjacent literals joined;
# entries without a literal (nullptr) are left out.
sub tableEntries {
    my ($code, $name) = @_;
    return () unless $code =~ /\b\Q$name\E\s*\[[^\]]*\]\s*=\s*\{(.*?)\}\s*;/s;
    my $body = $1;
    my @entries;
    my $current;
    while ($body =~ /\G\s*(?:"((?:\\.|[^"\\])*)"|(,)|([^",]+))/gs) {
        if (defined $1) {
            $current = (defined $current ? $current : '') . decodeLiteral($1);
        } elsif (defined $2) {
            push @entries, $current if defined $current;
            undef $current;
        }
    }
    push @entries, $current if defined $current;
    return @entries;
}

# A pattern for a message as the page shows it: "%s" matches a placeholder word.
sub messagePattern {
    my ($text) = @_;
    return join('\S(?:.*?\S)?', map { quotemeta } split(/%s/, $text, -1));
}

my $pageText = renderPage();
my (@messages, @options, $optionFile);
for my $path (@sources) {
    my $code = readCode($path);
    for my $table ('ErrorMessages', 'WarningMessages') {
        push @messages, tableEntries($code, $table);
    }
    my @usage = tableEntries($code, 'UsageLines');
    push @messages, join('', @usage) if @usage;
    next unless $code =~ /\bparseArgs\s*\([^;{}]*\)\s*\{/;
    $optionFile = $path;
    while ($code =~ /"((?:\\.|[^"\\])*)"/g) {
        my $word = decodeLiteral($1);
        push @options, $word if $word =~ /^[-+]\S/;
    }
}
@messages = grep { /\S/ } map { s/\s+/ /gr =~ s/^ | $//gr } @messages;
die "no message table found in @sources\n" unless @messages;
die "no definition of parseArgs found in @sources\n" unless defined $optionFile;
die "no option word found in $optionFile\n" unless @options;

my %seen;
my @missing;
for my $message (grep { !$seen{"m$_"}++ } @messages) {
    my $pattern = messagePattern($message);
    push @missing, "message \"$message\"" unless $pageText =~ /$pattern/;
}
for my $word (grep { !$seen{"o$_"}++ } @options) {
    push @missing, "option word \"$word\"" unless $pageText =~ /(?<![\w.+-])\Q$word\E(?!\w)/;
}
my $count = keys %seen;
if (@missing) {
    print "$page does not show:\n";
    print "  $_\n" for @missing;
    exit 1;
}
print "$page shows all $count message texts and option words\n";
